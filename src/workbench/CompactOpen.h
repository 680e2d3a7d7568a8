#pragma once
// The two buttons at the end of each path row: compact and repair the
// database in place, or hand the file to the desktop's application.
#include <cstdint>
#include <functional>
#include <string>

#include "Workbench.h"

namespace dex {

// File operations the compaction needs; tests plug in failing ones.
class FileOps {
public:
    virtual ~FileOps() = default;
    virtual bool exists(const std::string& path);
    virtual uintmax_t size(const std::string& path);
    // Both throw std::filesystem::filesystem_error on failure.
    virtual void remove(const std::string& path);
    virtual void rename(const std::string& from, const std::string& to);
};

// The message for a path under which no file is found: "파일을 찾을 수
// 없습니다.", two line breaks (CR LF CR LF) and the path; when something that
// is no file stands there (a folder, a fifo, a device), two more line breaks
// and a sentence saying what it is.
std::string FileNotFoundText(const std::string& path);

// True when the path names an existing file whose name ends in "mdb" (any
// letter case); otherwise shows why, focuses box index and returns false.
bool CheckDBPath(Workbench& wb, const std::string& path, int16_t index);

// The compaction's temporary file: every ".mdb" replaced by "_compactTemp.mdb".
std::string CompactTempPath(const std::string& path);

// Asks, validates, compacts into the temporary file and swaps it in.
// Returns true when the database was replaced by its compacted copy. A real
// Jet file is compacted from its model (CompactJet.h), opened with the
// product password or else `password`.
bool cmdCompact_Click(Workbench& wb, const std::string& path, int16_t index, FileOps& files,
                      const std::string& password = {});

// Validates and hands the file to openDocument (the desktop's "Open").
void cmdAccess_Click(Workbench& wb, const std::string& path, int16_t index,
                     const std::function<void(const std::string&)>& openDocument);

}  // namespace dex
