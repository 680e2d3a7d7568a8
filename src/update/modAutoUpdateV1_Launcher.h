#pragma once
// modAutoUpdateV1_Launcher: the update check at start-up. Keeps the two
// update programs in the program folder current, runs the version checker
// and waits for it, and hands over to the file changer when the checker has
// left a newer build ("New_" + program file) beside the program.
//
// With a public key, the two programs are taken only when the signed
// manifest beside the version file verifies and lists their SHA-256; a
// download that does not match is discarded before it replaces anything.
// Without a key, only https servers (or loopback ones, for tests) are used.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "Dialogs.h"
#include "UpdateTrust.h"

namespace dex {

// The running program as the update sees it.
struct UpdateProgram {
    std::string folder;    // the executable's folder
    std::string fileName;  // the executable's file name
    int revision = 0;      // third number of the program version
};

// What the update does to the world besides files and HTTP.
struct UpdateActions {
    std::function<void()> endProgram;                        // must not return in production
    std::function<void(const std::string& folder)> openFolder;  // the desktop's file manager
    // Starts the changer with its one argument, in its own session, without
    // waiting. Defaults to Spawn (Process.h) in a session of its own.
    std::function<void(const std::string& program, const std::string& argument,
                       const std::string& folder)> startDetached;
    // The checker's file version with its last part as a whole number
    // ("1.00.7"), "" when unreadable. Defaults to GetFileVer(path, true, true).
    std::function<std::string(const std::string& path)> checkerVersion;
};

class modAutoUpdateV1_Launcher {
public:
    static constexpr const char* kChecker = "DaroRerirodArodoruV1.exe";
    static constexpr const char* kChanger = "filechanger.exe";
    static constexpr const char* kServerPath = "/download/자동업데이트_v1/";

    // `server` is the update server's address ("http://host[:port]"), to
    // which the fixed path is added; an address that already carries a path
    // is taken as the base URL itself. Empty: no update server, and
    // RunAutoUpdate does nothing. `trust` holds the key downloads are
    // checked against. Missing actions get the real ones.
    modAutoUpdateV1_Launcher(UpdateProgram program, const std::string& server, UpdateTrust trust,
                             Dialogs& dialogs, UpdateActions actions = {});

    // The launcher for this process: its executable, the project version,
    // the configured server (DEXMIRA_UPDATE_URL in the environment, when
    // set, else the build's default), the key compiled in; ends the program
    // with _Exit(0).
    static modAutoUpdateV1_Launcher ForRunningProgram(Dialogs& dialogs);

    // A server that is neither trusted by a key nor https/loopback is
    // refused with a message before any connection: nothing is downloaded
    // or run, and the program starts as usual.
    void RunAutoUpdate(bool skipRefresh);
    bool AutoUpdaterSelfUpdate();

    const std::string& BaseUrl() const { return baseUrl_; }

private:
    std::string Path(const std::string& name) const;
    bool Step(const char* procedure, const std::function<void()>& step);
    bool ServerAllowed();
    bool Refresh();
    std::optional<UpdateManifest> SignedManifest(const std::string& remoteVersion);
    bool Fetch(const std::string& name, const std::optional<UpdateManifest>& manifest);

    UpdateProgram program_;
    std::string baseUrl_;
    UpdateTrust trust_;
    Dialogs& dialogs_;
    UpdateActions actions_;
};

// The base URL for a server address (see the constructor).
std::string UpdateBaseUrl(const std::string& server);

// The name of the version file for a program file: the name up to its last
// "." followed by "_lastver.txt".
std::string VersionFileName(const std::string& programFile);

// The numeric value of a text as far as it reads as a number from its start,
// blanks, tabs and line feeds skipped: "7" 7, " 8 " 8, "12abc" 12, "abc" 0.
double Val(const std::string& text);

// Rounded (half to even) to a 32-bit integer; DbError 6 "Overflow" outside.
int32_t RoundToLong(double value);

// The running executable's folder and file name (/proc/self/exe) and the
// project's revision.
UpdateProgram RunningProgram();

// DEXMIRA_UPDATE_URL from the environment when set (empty switches the check
// off), else the address the build was configured with.
std::string ConfiguredUpdateServer();

}  // namespace dex
