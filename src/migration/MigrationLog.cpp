#include "MigrationLog.h"

#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <type_traits>

#include "DbError.h"

namespace dex::migration {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kFileAccessError = 75;

std::tm localNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

fs::path programFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

void writeLine(std::ofstream& file, const std::string& text) {
    file << text << "\r\n";
    file.flush();
    if (!file) throw DbError(kFileAccessError, "Path/File access error");
}

struct LocaleDeleter {
    void operator()(locale_t loc) const { freelocale(loc); }
};

}  // namespace

// An installed program's folder (/usr/bin, /usr/local/bin, /opt/...): the
// log never goes there, even when it is writable (as for root).
static bool inSystemPrefix(const fs::path& folder) {
    for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/opt/", "/snap/", "/app/"}) {
        const std::string text = folder.string() + "/";
        if (text.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

fs::path DefaultLogFolder() {
    fs::path program = programFolder();
    if (!program.empty() && !inSystemPrefix(program) && access(program.c_str(), W_OK) == 0) return program;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg && fs::path(xdg).is_absolute()) return fs::path(xdg) / "Dexmira";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : "") / ".local" / "share" / "Dexmira";
}

std::string AmPmTime(const std::tm& time, const std::string& am, const std::string& pm) {
    int hour12 = time.tm_hour % 12 == 0 ? 12 : time.tm_hour % 12;
    char buf[32];
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", hour12, time.tm_min, time.tm_sec);
    return (time.tm_hour < 12 ? am : pm) + buf;
}

std::string LocaleAmPmTime(const std::tm& time) {
    std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter> loc(
        newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr)));
    std::string am = "AM", pm = "PM";
    if (loc) {
        std::string a = nl_langinfo_l(AM_STR, loc.get());
        std::string p = nl_langinfo_l(PM_STR, loc.get());
        // Locales without designators keep the English ones.
        if (!a.empty() && !p.empty()) am = a, pm = p;
    }
    return AmPmTime(time, am, pm);
}

MigrationLog::MigrationLog(fs::path folder) : folder_(std::move(folder)), clock_(localNow) {}

std::string MigrationLog::timeText() const { return LocaleAmPmTime(clock_()); }

MigrationLog::Section MigrationLog::openSection(const std::string& title) const {
    if (openCheck_) openCheck_();
    std::error_code ec;
    fs::create_directories(folder_, ec);
    std::ofstream file(filePath(), std::ios::binary | std::ios::app);
    if (!file) throw DbError(kFileAccessError, "Path/File access error");
    writeLine(file, "");
    writeLine(file, title);
    writeLine(file, "시작: " + timeText());
    return Section(std::move(file), *this);
}

void MigrationLog::checkWritable() const {
    const fs::path file = filePath();
    std::error_code ec;
    if (fs::exists(file, ec)) {
        const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return;
        }
    } else if (!ec) {
        // openSection would make the missing folders and the file: the
        // nearest folder that exists must take them.
        fs::path folder = folder_;
        while (!folder.empty() && !fs::exists(folder, ec) && folder != folder.parent_path())
            folder = folder.parent_path();
        if (folder.empty()) folder = ".";
        if (!ec && fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0) return;
    }
    throw DbError(kFileAccessError, "Path/File access error");
}

void MigrationLog::appendFrom(const fs::path& otherFile) const {
    std::ifstream in(otherFile, std::ios::binary);
    if (!in || in.peek() == std::ifstream::traits_type::eof()) return;
    std::error_code ec;
    fs::create_directories(folder_, ec);
    std::ofstream out(filePath(), std::ios::binary | std::ios::app);
    out << in.rdbuf();
    out.flush();
    if (!out) throw DbError(kFileAccessError, "Path/File access error: '" + filePath().string() + "'");
}

void MigrationLog::Section::line(const std::string& text) { writeLine(file_, text); }

void MigrationLog::Section::finish() {
    writeLine(file_, "완료: " + log_->timeText());
    file_.close();
}

}  // namespace dex::migration
