#pragma once
// Which desktop application opens a database file for "<< 엑세스열기", read
// from the desktop's own association files as the freedesktop.org rules lay
// them out: mimeapps.list in the configuration folders (XDG_CONFIG_HOME,
// XDG_CONFIG_DIRS) and in the data folders' applications/ (XDG_DATA_HOME,
// XDG_DATA_DIRS), then each data folder's mimeinfo.cache and .desktop files.
// Dexmira itself is never chosen: the package makes it a handler of .mdb
// files, and handing the file to it would only open a second window.
#include <functional>
#include <string>
#include <vector>

#include "Dialogs.h"

namespace dex::desktop {

// An environment variable's value, "" when unset.
using Environment = std::function<std::string(const char*)>;
Environment ProcessEnvironment();

// The MIME types of an Access database file.
const std::vector<std::string>& DatabaseMimeTypes();

struct Handler {
    std::string id;    // "libreoffice-base.desktop"
    std::string name;  // Name= of the entry
    std::string exec;  // Exec= of the entry
};

// Every application registered for one of the types, the default first
// (the first default of the first mimeapps.list that names an installed
// one), then the added associations, then those of mimeinfo.cache and of
// the .desktop files; removed associations, hidden entries and any entry
// that starts Dexmira left out.
std::vector<Handler> HandlersFor(const std::vector<std::string>& mimeTypes, const Environment& environment);

// Exec's words with the file put in for %f %F %u %U (a file:// URL for the
// last two) and the other field codes dropped; no shell is involved.
std::vector<std::string> CommandLine(const Handler& handler, const std::string& path);

// Opens the file in the first handler that starts; tells the user, through
// dialogs, each one that could not be started, and when there is none, which
// kind of application could open it. True when one was started.
bool OpenInApplication(Dialogs& dialogs, const std::string& path, const Environment& environment);

}  // namespace dex::desktop
