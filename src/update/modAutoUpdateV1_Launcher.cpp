#include "modAutoUpdateV1_Launcher.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>

#include "DbError.h"
#include "ErrorReport.h"
#include "Process.h"
#include "UpdateTrust.h"
#include "Version.h"
#include "modAutoUpdateV1_Download.h"
#include "modFile.h"
#include "modWaitProc.h"

namespace fs = std::filesystem;

namespace dex {
namespace {

const char* const kModule = "modAutoUpdateV1_Launcher";
const char* const kNewPrefix = "New_";
constexpr size_t kManifestLimit = 64 * 1024;
constexpr size_t kSignatureLimit = 1024;

using modAutoUpdateV1_Download::DownloadResult;
using modAutoUpdateV1_Download::Redirects;

// Where redirects may lead: with a key, what arrives is checked anyway;
// without one, only https vouches for it.
Redirects RedirectsFor(const UpdateTrust& trust) {
    return trust.publicKey ? Redirects::HttpOrHttps : Redirects::HttpsOnly;
}

std::string Trimmed(const std::string& text) {
    const size_t from = text.find_first_not_of(" \t\r\n");
    if (from == std::string::npos) return "";
    return text.substr(from, text.find_last_not_of(" \t\r\n") - from + 1);
}

std::string SignatureFailureText(const std::string& name, const std::string& reason) {
    return name + "의 서명 확인에 실패했습니다: " + reason +
           ".\r\n\r\n업데이트하지 않고 이전 버전을 그대로 사용합니다.";
}

std::string HashFailureText(const std::string& name) {
    return name + "의 해시 확인에 실패했습니다: 받은 파일의 SHA-256 값이 서명된 업데이트 목록(" +
           kManifestFile + ")과 다릅니다.\r\n\r\n받은 파일은 버리고 이전 버전을 그대로 사용합니다.";
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Val's text with its blanks, tabs and line feeds taken out.
std::string WithoutBlanks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') out += c;
    return out;
}

// Length of the longest prefix of `t` that reads as a decimal number.
size_t NumberPrefix(const std::string& t) {
    size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    size_t digits = 0;
    for (; i < t.size() && IsDigit(t[i]); ++i) ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && IsDigit(t[i]); ++i) ++digits;
    if (digits == 0) return 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
        size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
        const size_t from = j;
        while (j < t.size() && IsDigit(t[j])) ++j;
        if (j > from) i = j;
    }
    return i;
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool IsBlankText(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

void EndProcess() {
    std::fflush(nullptr);
    std::_Exit(0);
}

void OpenFolderWithDesktop(const std::string& folder) {
    Spawn({"xdg-open", {folder}, "", true, true});
}

void StartInOwnSession(const std::string& program, const std::string& argument, const std::string& folder) {
    Spawn({program, {argument}, folder, true, false});
}

}  // namespace

std::string UpdateBaseUrl(const std::string& server) {
    if (server.empty()) return "";
    const size_t scheme = server.find("://");
    const size_t pathFrom = server.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (pathFrom == std::string::npos || pathFrom + 1 == server.size())
        return server.substr(0, pathFrom) + modAutoUpdateV1_Launcher::kServerPath;
    return server.back() == '/' ? server : server + "/";
}

std::string VersionFileName(const std::string& programFile) {
    const size_t dot = programFile.rfind('.');
    return (dot == std::string::npos ? programFile : programFile.substr(0, dot)) + "_lastver.txt";
}

double Val(const std::string& text) {
    std::string t = WithoutBlanks(text);
    const size_t n = NumberPrefix(t);
    if (n == 0) return 0;
    for (char& c : t)
        if (c == 'd' || c == 'D') c = 'e';
    const double value = std::strtod(t.substr(0, n).c_str(), nullptr);
    return std::isfinite(value) ? value : 0;
}

int32_t RoundToLong(double value) {
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(saved);
    if (!(rounded >= std::numeric_limits<int32_t>::min() && rounded <= std::numeric_limits<int32_t>::max()))
        throw DbError(rterr::Overflow, "Overflow");
    return static_cast<int32_t>(rounded);
}

UpdateProgram RunningProgram() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {"", "", DEXMIRA_VERSION_PATCH};
    return {exe.parent_path().string(), exe.filename().string(), DEXMIRA_VERSION_PATCH};
}

std::string ConfiguredUpdateServer() {
    if (const char* env = std::getenv("DEXMIRA_UPDATE_URL")) return env;
    return DEXMIRA_UPDATE_URL_DEFAULT;
}

modAutoUpdateV1_Launcher::modAutoUpdateV1_Launcher(UpdateProgram program, const std::string& server,
                                                   UpdateTrust trust, Dialogs& dialogs, UpdateActions actions)
    : program_(std::move(program)), baseUrl_(UpdateBaseUrl(server)), trust_(std::move(trust)),
      dialogs_(dialogs), actions_(std::move(actions)) {
    if (!actions_.endProgram) actions_.endProgram = &EndProcess;
    if (!actions_.openFolder) actions_.openFolder = &OpenFolderWithDesktop;
    if (!actions_.startDetached) actions_.startDetached = &StartInOwnSession;
    if (!actions_.checkerVersion)
        actions_.checkerVersion = [dialogs = &dialogs_](const std::string& path) {
            return modFile(*dialogs).GetFileVer(path, true, true);
        };
}

modAutoUpdateV1_Launcher modAutoUpdateV1_Launcher::ForRunningProgram(Dialogs& dialogs) {
    return modAutoUpdateV1_Launcher(RunningProgram(), ConfiguredUpdateServer(), ConfiguredUpdateTrust(), dialogs);
}

std::string modAutoUpdateV1_Launcher::Path(const std::string& name) const {
    return (fs::path(program_.folder) / name).string();
}

bool modAutoUpdateV1_Launcher::Step(const char* procedure, const std::function<void()>& step) {
    return RunReported(dialogs_, procedure, kModule, step);
}

bool modAutoUpdateV1_Launcher::ServerAllowed() {
    if (trust_.keyUnreadable) {
        dialogs_.message("업데이트 서명 확인용 공개 키가 올바르지 않아 업데이트를 확인하지 않습니다.", kUpdateTitle,
                         Icon::Warning);
        return false;
    }
    // With a key, what arrives is checked whatever the transport.
    if (trust_.publicKey || AcceptableWithoutKey(baseUrl_)) return true;
    dialogs_.message("업데이트 서버 주소가 안전하지 않아 업데이트를 확인하지 않습니다: " + baseUrl_ +
                         "\r\n\r\n서명 확인용 공개 키가 설정되지 않은 프로그램은 https 주소에서만 업데이트를 받습니다.",
                     kUpdateTitle, Icon::Warning);
    return false;
}

std::optional<UpdateManifest> modAutoUpdateV1_Launcher::SignedManifest(const std::string& remoteVersion) {
    const char* const proc = "AutoUpdaterSelfUpdate";
    const auto refuse = [this](const std::string& name, const std::string& reason) {
        dialogs_.message(SignatureFailureText(name, reason), kUpdateTitle, Icon::Critical);
        return std::optional<UpdateManifest>();
    };
    const std::string manifestFile = kManifestFile, signatureFile = kSignatureFile;
    const Redirects redirects = RedirectsFor(trust_);
    std::optional<std::string> text, signature;
    Step(proc, [&] { text = modAutoUpdateV1_Download::ReadUrl(baseUrl_ + manifestFile, kManifestLimit, redirects); });
    if (!text) return refuse(kChecker, "서명된 업데이트 목록(" + manifestFile + ")을 받을 수 없습니다");
    Step(proc, [&] {
        signature = modAutoUpdateV1_Download::ReadUrl(baseUrl_ + signatureFile, kSignatureLimit, redirects);
    });
    if (!signature) return refuse(kChecker, "업데이트 목록의 서명(" + signatureFile + ")을 받을 수 없습니다");
    if (!ManifestSignatureValid(*text, *signature, *trust_.publicKey))
        return refuse(kChecker, "업데이트 목록(" + manifestFile + ")의 서명이 올바르지 않습니다");
    std::optional<UpdateManifest> manifest = ParseManifest(*text);
    if (!manifest) return refuse(kChecker, "업데이트 목록(" + manifestFile + ")의 형식이 올바르지 않습니다");
    // The signed version must be the one announced, so that an older signed
    // release cannot be replayed as an update over a newer checker.
    if (Val(manifest->version) != Val(remoteVersion))
        return refuse(kChecker, "업데이트 목록의 버전(" + Trimmed(manifest->version) + ")이 최신버전 정보(" +
                                    Trimmed(remoteVersion) + ")와 다릅니다");
    for (const std::string name : {kChecker, kChanger})
        if (!manifest->sha256.count(name)) return refuse(name, "업데이트 목록에 " + name + "의 해시가 없습니다");
    return manifest;
}

bool modAutoUpdateV1_Launcher::Fetch(const std::string& name, const std::optional<UpdateManifest>& manifest) {
    modAutoUpdateV1_Download::DownloadCheck check;
    if (manifest) {
        check = [expected = manifest->sha256.at(name)](const std::string& file) {
            const std::optional<std::string> actual = FileSha256Hex(file);
            return actual && *actual == expected;
        };
    }
    const DownloadResult result = modAutoUpdateV1_Download::DownloadChecked(
        baseUrl_ + name, Path(name), check, RedirectsFor(trust_));
    if (result == DownloadResult::Rejected) dialogs_.message(HashFailureText(name), kUpdateTitle, Icon::Critical);
    return result == DownloadResult::Replaced;
}

bool modAutoUpdateV1_Launcher::AutoUpdaterSelfUpdate() { return ServerAllowed() && Refresh(); }

bool modAutoUpdateV1_Launcher::Refresh() {
    // Each step that fails is reported and the next one runs with what the
    // earlier ones left.
    const char* const proc = "AutoUpdaterSelfUpdate";
    std::string name = kChecker;
    std::string localVersion = "0";
    Step(proc, [&] {
        if (!IsFile(Path(name))) return;
        const std::string version = actions_.checkerVersion(Path(name));
        const size_t dot = version.rfind('.');
        localVersion = version.substr(dot == std::string::npos ? 0 : dot + 1);
    });
    std::string remote;
    Step(proc, [&] {
        remote = modAutoUpdateV1_Download::OpenUrl(baseUrl_ + VersionFileName(name),
                                                   RedirectsFor(trust_));
    });
    if (IsBlankText(remote)) {
        dialogs_.message(name + "의 최신버전 정보를 읽어올 수 없습니다!", kUpdateTitle, Icon::Critical);
        return false;
    }
    bool current = false;
    Step(proc, [&] { current = Val(localVersion) >= RoundToLong(Val(remote)); });
    if (current) return true;
    // With a key, nothing is downloaded until the manifest has verified.
    std::optional<UpdateManifest> manifest;
    if (trust_.publicKey && !(manifest = SignedManifest(remote))) return false;
    bool downloaded = false;
    Step(proc, [&] { downloaded = Fetch(name, manifest); });
    if (!downloaded) return false;
    name = kChanger;
    Step(proc, [&] { downloaded = Fetch(name, manifest); });
    return downloaded;
}

void modAutoUpdateV1_Launcher::RunAutoUpdate(bool skipRefresh) {
    const char* const proc = "RunAutoUpdate";
    if (baseUrl_.empty()) return;  // no update server configured
    if (!ServerAllowed()) return;
    if (!skipRefresh && !Refresh()) return;
    const std::string checker = Path(kChecker);
    std::string programFile;
    Step(proc, [&] { programFile = IsFile(Path(program_.fileName)) ? program_.fileName : ""; });
    if (programFile.empty()) return;
    const std::string parameters = std::to_string(program_.revision) + ";" + programFile;
    Step(proc, [&] { modWaitProc::RunAndWait(checker, 0, parameters, program_.folder, false, false); });
    bool hasNewBuild = false;
    Step(proc, [&] { hasNewBuild = IsFile(Path(kNewPrefix + programFile)); });
    if (!hasNewBuild) return;
    const std::string changer = Path(kChanger);
    if (!IsFile(changer)) {
        dialogs_.message("파일교체 프로그램을 찾을 수 없습니다.\r\n\r\n" + changer, kUpdateTitle, Icon::None);
        Step(proc, [&] { actions_.openFolder(program_.folder); });
        actions_.endProgram();
        return;
    }
    Step(proc, [&] { actions_.startDetached(changer, programFile + ";" + kNewPrefix + programFile, program_.folder); });
    actions_.endProgram();
}

}  // namespace dex
