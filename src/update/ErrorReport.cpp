#include "ErrorReport.h"

#include <filesystem>
#include <new>

#include "ErrorText.h"

namespace dex {

bool RunReported(Dialogs& dialogs, const std::string& procedure, const std::string& module,
                 const std::function<void()>& step) {
    int32_t number = 0;
    std::string description;
    try {
        step();
        return true;
    } catch (const DbError& e) {
        number = e.number(), description = e.description();
    } catch (const std::filesystem::filesystem_error& e) {
        number = rterr::PathFileAccess, description = e.code().message() + ": " + e.path1().string();
    } catch (const std::bad_alloc&) {
        number = rterr::OutOfMemory, description = "Out of memory";
    } catch (const std::exception& e) {
        number = rterr::Internal, description = e.what();
    }
    dialogs.message(errorFrame(number, description, procedure, "Module " + module), kUpdateTitle, Icon::None);
    return false;
}

}  // namespace dex
