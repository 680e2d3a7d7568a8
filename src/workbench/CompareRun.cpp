#include "CompareRun.h"

#include <filesystem>
#include <system_error>

#include "modCmpDB.h"

namespace dex {

namespace {

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(std::filesystem::u8path(path), ec);
}

// Checks one path box; on failure shows the message and focuses the box.
bool validateBox(Workbench& wb, const std::string& text, int index) {
    if (text.empty()) {
        wb.dialogs.message("DataBase 파일을 선택하세요.", kAppTitle, Icon::None);
        wb.window.focusPathBox(index);
        return false;
    }
    if (!fileExists(text)) {
        wb.dialogs.message("파일을 찾을 수 없습니다.\r\n\r\n" + text, kAppTitle, Icon::None);
        wb.window.focusPathBox(index);
        return false;
    }
    return true;
}

// Restores the pointer, repainting and the bars whatever happens inside.
class LoadScope {
public:
    explicit LoadScope(Workbench& wb) : wb_(wb) {
        wb_.window.setBusy(true);
        wb_.grid.suspendPainting();
        wb_.overallBar.setMaximum(5);
        wb_.overallBar.setValue(0);
        wb_.itemBar.setVisible(true);
        wb_.overallBar.setVisible(true);
    }
    ~LoadScope() {
        wb_.window.setBusy(false);
        wb_.grid.resumePainting();
        wb_.itemBar.setVisible(false);
        wb_.overallBar.setVisible(false);
    }
    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;

private:
    Workbench& wb_;
};

}  // namespace

bool LoadAndCompare(Workbench& wb, const std::string& pathA, const std::string& pathB) {
    LoadScope scope(wb);
    if (!modCmpDB::LoadDBStruct(wb, pathA, true, kProductPassword, "")) return false;
    wb.overallBar.step();
    if (!modCmpDB::LoadDBStruct(wb, pathB, false, kProductPassword, "")) return false;
    wb.overallBar.step();
    modCmpDB::CompareStruct(wb);
    return true;
}

bool RunComparison(Workbench& wb, const CompareRequest& request) {
    if (!validateBox(wb, request.pathA, 0)) return false;
    if (!validateBox(wb, request.pathB, 1)) return false;
    return LoadAndCompare(wb, request.pathA, request.pathB);
}

}  // namespace dex
