#pragma once
// A writer that dies in the middle of a large change of a sample store: a
// hot journal is left beside the file, whose pages the writer had already
// overwritten.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace dex::test {

inline void leaveHotJournal(const std::string& sampleStore) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(sampleStore.c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA cache_size=1; BEGIN; CREATE TABLE junk (x BLOB);"
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                     "INSERT INTO junk SELECT randomblob(1000) FROM n; UPDATE customer SET compname = 'x'",
                     nullptr, nullptr, nullptr);
        ::_exit(0);
    }
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
}

}  // namespace dex::test
