#include "CliVersionInfo.h"

#include <filesystem>
#include <system_error>

#include "CliSupport.h"
#include "FileKind.h"
#include "modFile.h"

namespace dex {

int runVersionInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
        err << "usage: dexmira version-info FILE\n";
        return cli::kFailure;
    }
    const std::string& path = args[0];
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        const std::string what = notAFileText(path, "a program file");
        if (what.empty()) err << "version-info: file not found: " << path << '\n';
        else err << "version-info: " << what << '\n';
        return cli::kFailure;
    }
    cli::ConsoleDialogs dialogs(err, false, false);
    modFile files(dialogs);
    const auto items = files.GetFileVerInfo(path);
    if (!items) {
        err << "version-info: no version information in " << path << '\n';
        return cli::kFailure;
    }
    for (const std::string& item : *items) out << item << '\n';
    return cli::kOk;
}

}  // namespace dex
