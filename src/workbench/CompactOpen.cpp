#include "CompactOpen.h"

#include <filesystem>
#include <system_error>

#include "CompactJet.h"
#include "ErrorText.h"
#include "FileKind.h"
#include "NameText.h"

namespace dex {

namespace fs = std::filesystem;

bool FileOps::exists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::u8path(path), ec);
}

uintmax_t FileOps::size(const std::string& path) {
    std::error_code ec;
    const auto n = fs::file_size(fs::u8path(path), ec);
    return ec ? 0 : n;
}

void FileOps::remove(const std::string& path) { fs::remove(fs::u8path(path)); }

void FileOps::rename(const std::string& from, const std::string& to) {
    fs::rename(fs::u8path(from), fs::u8path(to));
}

namespace {

const char* const kProcedure = "cmdCompact_Click";

std::string trimBlanks(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}
bool refuse(Workbench& wb, const std::string& text, int16_t index) {
    wb.dialogs.message(text, kAppTitle, Icon::None);
    wb.window.focusPathBox(index);
    return false;
}

// Thrown when swapping the compacted copy in failed but the original was put
// back under its own name.
struct SwapFailed {
    std::string reason;
};

// Puts the compacted copy in the database's place without ever leaving the
// database missing under its own name: the original goes aside first, the
// copy moves in, and only then is the original deleted.
void swapIn(FileOps& files, const std::string& path, const std::string& temp) {
    const std::string aside = temp + ".original";
    if (files.exists(aside)) files.remove(aside);
    files.rename(path, aside);
    try {
        files.rename(temp, path);
    } catch (const std::exception& e) {
        try {
            files.rename(aside, path);
        } catch (const std::exception&) {
            throw SwapFailed{std::string(e.what()) + "; the original database is kept as " + aside};
        }
        throw SwapFailed{e.what()};
    }
    try {
        files.remove(aside);
    } catch (const std::exception&) {
        // The compacted database is in place; a leftover copy of the old one
        // costs only disk space.
    }
}

// The file a symbolic link finally points to ("" stays ""); the path itself
// when it is no link.
std::string linkTarget(const std::string& path) {
    std::error_code ec;
    if (!fs::is_symlink(fs::u8path(path), ec)) return path;
    const fs::path real = fs::canonical(fs::u8path(path), ec);
    return ec ? path : real.string();
}

// The compacted copy's name beside a link's target.
std::string siblingTemp(const std::string& target) {
    const std::string temp = CompactTempPath(target);
    return temp != target ? temp : target + "_compactTemp.mdb";
}

}  // namespace

std::string CompactTempPath(const std::string& path) {
    static const std::string from = ".mdb", to = "_compactTemp.mdb";
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = path.find(from, pos)) != std::string::npos; pos = hit + from.size())
        out += path.substr(pos, hit - pos) + to;
    return out + path.substr(pos);
}

std::string FileNotFoundText(const std::string& path) {
    const std::string what = notAFileText(path);
    return "파일을 찾을 수 없습니다.\r\n\r\n" + path + (what.empty() ? "" : "\r\n\r\n" + what);
}

bool CheckDBPath(Workbench& wb, const std::string& path, int16_t index) {
    if (trimBlanks(path).empty()) return refuse(wb, "DB경로가 입력되지 않았습니다.", index);
    FileOps files;
    if (!files.exists(path)) return refuse(wb, FileNotFoundText(path), index);
    if (path.size() < 3 || lowerText(path.substr(path.size() - 3)) != "mdb")
        return refuse(wb, "mdb파일이 아닙니다.\r\n\r\n" + path, index);
    return true;
}

bool cmdCompact_Click(Workbench& wb, const std::string& path, int16_t index, FileOps& files,
                      const std::string& password) {
    if (!wb.dialogs.askYesNo("정말 압축 및 복구를 하시겠습니까?", kAppTitle, true)) return false;
    if (!CheckDBPath(wb, path, index)) return false;
    if (detectFileKind(path) == FileKind::Jet) return compactRealJetFile(wb, path, password);
    const std::string temp = CompactTempPath(path);
    if (temp == path)
        return refuse(wb,
                      "압축 및 복구를 할 수 없는 파일 이름입니다. 파일 이름이 소문자 \".mdb\"로 끝나야 "
                      "합니다.\r\n\r\n" + path,
                      index);
    bool success = false;
    // A link is compacted where it points: the target is replaced and the
    // link stays a link.
    const std::string target = linkTarget(path);
    const std::string work = target == path ? temp : siblingTemp(target);
    // Whatever happens, no half-made compacted copy stays behind.
    struct RemoveLeftover {
        FileOps& files;
        const std::string& file;
        ~RemoveLeftover() {
            try {
                if (files.exists(file)) files.remove(file);
            } catch (...) {
            }
        }
    } leftover{files, work};
    try {
        if (files.exists(work)) files.remove(work);
        wb.window.setBusy(true);
        wb.engine.compactDatabase(target, work, ";pwd=" + kProductPassword);
        if (files.exists(work) && files.size(work) > 0) {
            swapIn(files, target, work);
            success = true;
        }
        wb.window.setBusy(false);
    } catch (const DbError& e) {
        wb.window.setBusy(false);
        wb.dialogs.message(errorFrame(e.number(), e.description(), kProcedure, kFormOwner), kAppTitle, Icon::None);
        return false;
    } catch (const SwapFailed& e) {
        wb.window.setBusy(false);
        wb.dialogs.message(errorFrame(kRuntimeErrorNumber,
                                      "압축된 파일로 바꾸지 못해 원본 DB를 원래 이름으로 되돌렸습니다: " + e.reason,
                                      kProcedure, kFormOwner),
                           kAppTitle, Icon::None);
        return false;
    } catch (const std::exception& e) {
        wb.window.setBusy(false);
        wb.dialogs.message(errorFrame(kRuntimeErrorNumber, e.what(), kProcedure, kFormOwner), kAppTitle, Icon::None);
        return false;
    }
    if (success)
        wb.dialogs.message("압축 및 복구를 완료하였습니다.", kAppTitle, Icon::Information);
    else
        wb.dialogs.message("압축 및 복구 실패!", kAppTitle, Icon::Warning);
    return success;
}

void cmdAccess_Click(Workbench& wb, const std::string& path, int16_t index,
                     const std::function<void(const std::string&)>& openDocument) {
    if (CheckDBPath(wb, path, index) && openDocument) openDocument(path);
}


}  // namespace dex
