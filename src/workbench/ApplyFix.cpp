#include "ApplyFix.h"

#include <sstream>

#include "CompactOpen.h"
#include "ConnectionText.h"
#include "ErrorText.h"
#include "FileKind.h"
#include "JetStore.h"
#include "JetStoreRoute.h"

namespace dex {

namespace {

const char* const kProcedure = "mnuApplyFix_Click";
const char* const kForm = "Form Form1";

// Every statement in one transaction: the first that fails undoes all.
void runAll(DbEngine& engine, const std::string& path, const std::string& password,
            const std::vector<std::string>& statements) {
    auto connection = engine.openConnection(jetConnectionText(path, password));
    connection->execute("BEGIN TRANSACTION");
    try {
        for (const std::string& sql : statements) connection->execute(sql);
        connection->execute("COMMIT TRANSACTION");
    } catch (const DbError& e) {
        try {
            connection->execute("ROLLBACK TRANSACTION");
        } catch (const DbError&) {
            // The engine ended the transaction itself.
        }
        throw;
    }
}

}  // namespace

std::vector<std::string> FixStatements(const std::string& script) {
    std::vector<std::string> out;
    std::istringstream in(script);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 2, "--") == 0) continue;
        out.push_back(line);
    }
    return out;
}

bool ApplyFixScript(Workbench& wb, const std::string& path, int16_t index, const std::string& script) {
    if (!wb.dialogs.askYesNo("정말 수정 스크립트를 적용하시겠습니까?\r\n\r\n" + path, kAppTitle, true)) return false;
    if (!CheckDBPath(wb, path, index)) return false;
    const std::vector<std::string> statements = FixStatements(script);
    try {
        wb.window.setBusy(true);
        std::string backup;
        if (detectFileKind(path) == FileKind::Jet) {
            JetRouteOptions options;
            options.passwords = {kProductPassword};
            auto store = makeJetStoreEngine();
            const JetRouteOutcome done =
                changeJetFileThroughStore(path, options, [&](const std::string& s, const std::string& pw) {
                    runAll(*store, s, pw, statements);
                    return true;
                });
            backup = done.backup;
        } else {
            runAll(wb.engine, path, kProductPassword, statements);
        }
        wb.window.setBusy(false);
        wb.dialogs.message("수정 스크립트를 적용하였습니다.\r\n\r\n" + path +
                               (backup.empty() ? "" : "\r\n\r\n원본 파일은 다음 이름으로 보관했습니다:\r\n" + backup),
                           kAppTitle, Icon::Information);
        return true;
    } catch (const DbError& e) {
        wb.window.setBusy(false);
        wb.dialogs.message(errorFrame(e.number(), e.description(), kProcedure, kForm), kAppTitle, Icon::None);
    } catch (const std::exception& e) {
        wb.window.setBusy(false);
        wb.dialogs.message(errorFrame(kRuntimeErrorNumber, e.what(), kProcedure, kForm), kAppTitle, Icon::None);
    }
    return false;
}

}  // namespace dex
