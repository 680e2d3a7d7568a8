#include "DesktopHandlers.h"

#include <sys/types.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "NameText.h"
#include "Process.h"
#include "Workbench.h"

namespace dex::desktop {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        if (at > start) out.push_back(text.substr(start, at - start));
    if (start < text.size()) out.push_back(text.substr(start));
    return out;
}

std::string trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// group -> key -> value of a desktop-style file; later keys of a group win.
using KeyFile = std::map<std::string, std::map<std::string, std::string>>;

KeyFile readKeyFile(const fs::path& file) {
    KeyFile out;
    std::ifstream in(file);
    std::string group;
    for (std::string line; std::getline(in, line);) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            group = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq != std::string::npos) out[group][trimmed(line.substr(0, eq))] = trimmed(line.substr(eq + 1));
    }
    return out;
}

std::vector<fs::path> folders(const Environment& env, const char* homeVar, const char* homeDefault,
                              const char* dirsVar, const char* dirsDefault) {
    std::vector<fs::path> out;
    std::string home = env(homeVar);
    if (home.empty() && !env("HOME").empty()) home = env("HOME") + "/" + homeDefault;
    if (!home.empty()) out.emplace_back(home);
    std::string dirs = env(dirsVar);
    if (dirs.empty()) dirs = dirsDefault;
    for (const auto& d : split(dirs, ':')) out.emplace_back(d);
    return out;
}

// The program an Exec line starts, without its folder.
std::string programOf(const std::string& exec) {
    std::string first = exec.substr(0, exec.find_first_of(" \t"));
    if (!first.empty() && first.front() == '"') first = exec.substr(1, exec.find('"', 1) - 1);
    return fs::path(first).filename().string();
}

bool startsDexmira(const std::string& id, const std::string& exec) {
    std::string program = programOf(exec);
    if (program == "env") {  // "env VAR=x dexmira %F"
        for (const auto& word : split(exec, ' '))
            if (word != "env" && word.find('=') == std::string::npos) {
                program = fs::path(word).filename().string();
                break;
            }
    }
    return id == "dexmira.desktop" || id.rfind("io.github.dexmira.", 0) == 0 || program == "dexmira";
}

class Registry {
public:
    explicit Registry(const Environment& env)
        : data_(folders(env, "XDG_DATA_HOME", ".local/share", "XDG_DATA_DIRS", "/usr/local/share:/usr/share")),
          config_(folders(env, "XDG_CONFIG_HOME", ".config", "XDG_CONFIG_DIRS", "/etc/xdg")) {}

    std::vector<Handler> handlersFor(const std::vector<std::string>& types) {
        std::vector<fs::path> lists;
        for (const auto& c : config_) lists.push_back(c / "mimeapps.list");
        for (const auto& d : data_) lists.push_back(d / "applications" / "mimeapps.list");
        std::vector<std::string> defaults, added;
        for (const auto& list : lists) {
            const KeyFile f = readKeyFile(list);
            for (const auto& type : types) {
                collect(f, "Removed Associations", type, removed_);
                collect(f, "Default Applications", type, defaults);
                collect(f, "Added Associations", type, added);
            }
        }
        std::vector<std::string> cached;
        for (const auto& d : data_) {
            const KeyFile f = readKeyFile(d / "applications" / "mimeinfo.cache");
            for (const auto& type : types) collect(f, "MIME Cache", type, cached);
        }
        std::vector<std::string> declared = declaringEntries(types);
        std::vector<Handler> out;
        std::set<std::string> seen;
        for (const auto* ids : {&defaults, &added, &cached, &declared})
            for (const auto& id : *ids) {
                if (!seen.insert(id).second || removed_.count(id)) continue;
                if (auto h = entry(id)) out.push_back(*h);
            }
        return out;
    }

private:
    void collect(const KeyFile& f, const char* group, const std::string& type, std::vector<std::string>& out) {
        auto g = f.find(group);
        if (g == f.end()) return;
        auto k = g->second.find(type);
        if (k == g->second.end()) return;
        for (const auto& id : split(k->second, ';')) out.push_back(trimmed(id));
    }
    void collect(const KeyFile& f, const char* group, const std::string& type, std::set<std::string>& out) {
        std::vector<std::string> ids;
        collect(f, group, type, ids);
        out.insert(ids.begin(), ids.end());
    }

    // The entry file of a desktop id, in the first data folder that has it
    // ("vendor-app.desktop" may also live as vendor/app.desktop).
    std::optional<fs::path> fileOf(const std::string& id) const {
        for (const auto& d : data_) {
            std::error_code ec;
            const fs::path direct = d / "applications" / id;
            if (fs::is_regular_file(direct, ec)) return direct;
            const size_t dash = id.find('-');
            if (dash != std::string::npos) {
                const fs::path nested = d / "applications" / id.substr(0, dash) / id.substr(dash + 1);
                if (fs::is_regular_file(nested, ec)) return nested;
            }
        }
        return std::nullopt;
    }

    std::optional<Handler> entry(const std::string& id) const {
        const auto file = fileOf(id);
        if (!file) return std::nullopt;
        const KeyFile f = readKeyFile(*file);
        auto g = f.find("Desktop Entry");
        if (g == f.end()) return std::nullopt;
        auto get = [&g](const char* key) {
            auto k = g->second.find(key);
            return k == g->second.end() ? std::string() : k->second;
        };
        if (get("Type") != "Application" || get("Hidden") == "true" || get("Exec").empty()) return std::nullopt;
        if (startsDexmira(id, get("Exec"))) return std::nullopt;
        return Handler{id, get("Name").empty() ? id : get("Name"), get("Exec")};
    }

    // Desktop ids whose entry lists one of the types under MimeType=.
    std::vector<std::string> declaringEntries(const std::vector<std::string>& types) const {
        std::vector<std::string> out;
        for (const auto& d : data_) {
            std::error_code ec;
            const fs::path apps = d / "applications";
            for (auto it = fs::directory_iterator(apps, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
                if (it->path().extension() != ".desktop") continue;
                const KeyFile f = readKeyFile(it->path());
                auto g = f.find("Desktop Entry");
                if (g == f.end()) continue;
                auto m = g->second.find("MimeType");
                if (m == g->second.end()) continue;
                for (const auto& t : split(m->second, ';'))
                    for (const auto& type : types)
                        if (trimmed(t) == type) out.push_back(it->path().filename().string());
            }
        }
        return out;
    }

    std::vector<fs::path> data_, config_;
    std::set<std::string> removed_;
};

std::string fileUrl(const std::string& path) { return "file://" + percentEncoded(path, "/"); }

// Exec's words, with its quoting rules: double quotes group, a backslash
// inside them escapes the next character.
std::vector<std::string> execWords(const std::string& exec) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size()) word += exec[++i];
            else if (c == '"') quoted = false;
            else word += c;
        } else if (c == '"') {
            quoted = any = true;
        } else if (c == ' ' || c == '\t') {
            if (any || !word.empty()) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
        }
    }
    if (any || !word.empty()) words.push_back(word);
    return words;
}

}  // namespace

Environment ProcessEnvironment() {
    return [](const char* name) {
        const char* v = std::getenv(name);
        return v ? std::string(v) : std::string();
    };
}

const std::vector<std::string>& DatabaseMimeTypes() {
    static const std::vector<std::string> types{"application/vnd.ms-access", "application/x-msaccess",
                                                "application/msaccess", "application/x-mdb"};
    return types;
}

std::vector<Handler> HandlersFor(const std::vector<std::string>& mimeTypes, const Environment& environment) {
    return Registry(environment).handlersFor(mimeTypes);
}

std::vector<std::string> CommandLine(const Handler& handler, const std::string& path) {
    std::vector<std::string> out;
    bool placed = false;
    for (const auto& word : execWords(handler.exec)) {
        if (word == "%f" || word == "%F" || word == "%u" || word == "%U") {
            out.push_back(word == "%f" || word == "%F" ? path : fileUrl(path));
            placed = true;
            continue;
        }
        std::string w;
        for (size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 == word.size()) {
                w += word[i];
            } else if (word[++i] == '%') {
                w += '%';
            }  // any other field code (%i %c %k ...) is dropped
        }
        if (!w.empty()) out.push_back(w);
    }
    if (!placed) out.push_back(path);
    return out;
}

bool OpenInApplication(Dialogs& dialogs, const std::string& path, const Environment& environment) {
    const auto handlers = HandlersFor(DatabaseMimeTypes(), environment);
    if (handlers.empty()) {
        dialogs.message("이 파일을 열 프로그램이 없습니다. Access 데이터베이스(.mdb, "
                        "application/vnd.ms-access)를 여는 프로그램(Microsoft Access, LibreOffice Base, "
                        "MDB Viewer 등)을 설치하고 그 프로그램에 .mdb 파일을 연결하세요. (Dexmira는 "
                        "여기서 열지 않습니다.)\r\n\r\n" + path,
                        kAppTitle, Icon::Warning);
        return false;
    }
    for (const auto& h : handlers) {
        const std::vector<std::string> words = CommandLine(h, path);
        SpawnRequest request;
        request.program = words.front();
        request.args.assign(words.begin() + 1, words.end());
        request.searchPath = true;
        request.newSession = true;
        request.stdinFromNull = true;
        pid_t pid = 0;
        const int rc = TrySpawn(request, &pid);
        if (rc == 0) {
            // Reaped when it ends, so that no zombie stays behind.
            std::thread([pid] { WaitForExit(pid); }).detach();
            return true;
        }
        dialogs.message(h.name + " (" + h.id + ")을(를) 시작할 수 없습니다: " + std::strerror(rc) + "\r\n\r\n" +
                            request.program,
                        kAppTitle, Icon::Warning);
    }
    return false;
}

}  // namespace dex::desktop
