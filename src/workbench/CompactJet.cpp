#include "CompactJet.h"

#include "ErrorText.h"
#include "JetCompact.h"

namespace dex {

namespace {

const char* const kProcedure = "cmdCompact_Click";
const char* const kForm = "Form Form1";
constexpr size_t kRepairsShown = 10;

}  // namespace

std::string compactedText(const std::string& backup, const std::vector<std::string>& repaired) {
    std::string text = "압축 및 복구를 완료하였습니다.\r\n\r\n원본 파일은 다음 이름으로 보관했습니다:\r\n" + backup;
    if (!repaired.empty()) {
        text += "\r\n\r\n고친 곳:";
        for (size_t i = 0; i < repaired.size() && i < kRepairsShown; ++i) text += "\r\n" + repaired[i];
        if (repaired.size() > kRepairsShown)
            text += "\r\n... (" + std::to_string(repaired.size() - kRepairsShown) + "곳 더)";
    }
    return text;
}

bool compactRealJetFile(Workbench& wb, const std::string& path, const std::string& password) {
    std::vector<std::string> passwords{kProductPassword};
    if (!password.empty()) passwords.push_back(password);
    for (;;) {
        try {
            wb.window.setBusy(true);
            const CompactOutcome done = CompactJetFile(path, passwords);
            wb.window.setBusy(false);
            wb.dialogs.message(compactedText(done.backup, done.repaired), kAppTitle, Icon::Information);
            return true;
        } catch (const DbError& e) {
            wb.window.setBusy(false);
            if (e.number() == dberr::NotValidPassword) {
                const auto typed = wb.dialogs.askPassword(
                    "이 파일은 제품 암호로 열리지 않습니다. 데이터베이스 암호를 입력하십시오.\r\n\r\n" + path, kAppTitle);
                if (typed) {
                    passwords.push_back(*typed);
                    continue;
                }
            }
            wb.dialogs.message(errorFrame(e.number(), e.description(), kProcedure, kForm), kAppTitle, Icon::None);
            return false;
        } catch (const std::exception& e) {
            wb.window.setBusy(false);
            wb.dialogs.message(errorFrame(kRuntimeErrorNumber, e.what(), kProcedure, kForm), kAppTitle, Icon::None);
            return false;
        }
    }
}

}  // namespace dex
