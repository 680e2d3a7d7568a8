#pragma once
// The migration log DB_UPDATE_LOG.log: sections appended by the data repairs
// of the migration, each line ended by CR LF. The file is opened for one
// section and closed after it; nothing ever truncates it.
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace dex::migration {

inline constexpr const char* kLogFileName = "DB_UPDATE_LOG.log";

// The program's folder when it is writable, otherwise $XDG_DATA_HOME/Dexmira
// (default ~/.local/share/Dexmira).
std::filesystem::path DefaultLogFolder();

// "AMPM HH:MM:SS": the designator, a blank, the hour on the 12-hour clock,
// minutes and seconds, two digits each.
std::string AmPmTime(const std::tm& time, const std::string& am, const std::string& pm);
// The same with the locale's AM/PM strings (LC_TIME of the environment).
std::string LocaleAmPmTime(const std::tm& time);

class MigrationLog {
public:
    explicit MigrationLog(std::filesystem::path folder);

    std::filesystem::path filePath() const { return folder_ / kLogFileName; }

    // The time source of the "시작: " and "완료: " lines (local time by default).
    void setClock(std::function<std::tm()> clock) { clock_ = std::move(clock); }

    // One open section. Lines are written as they come; finish() writes the
    // closing line. A section dropped without finish() (after an error)
    // closes the file without a closing line.
    class Section {
    public:
        void line(const std::string& text);
        void finish();

    private:
        friend class MigrationLog;
        Section(std::ofstream file, const MigrationLog& log) : file_(std::move(file)), log_(&log) {}
        std::ofstream file_;
        const MigrationLog* log_;
    };

    // Opens the file for appending and writes an empty line, the title and
    // "시작: " + the time. Throws DbError 75 when the file cannot be written.
    Section openSection(const std::string& title) const;

    // Runs first in every openSection; what it throws fails the open.
    void setOpenCheck(std::function<void()> check) { openCheck_ = std::move(check); }

    // Throws what openSection would when the file cannot be opened for
    // appending, but writes nothing and makes neither file nor folder.
    void checkWritable() const;

    // Appends another log file's sections, unchanged, after this log's own
    // (nothing when that file does not exist). Throws DbError 75 when this
    // log cannot be written.
    void appendFrom(const std::filesystem::path& otherFile) const;

    std::string timeText() const;

private:
    std::filesystem::path folder_;
    std::function<std::tm()> clock_;
    std::function<void()> openCheck_;
};

}  // namespace dex::migration
