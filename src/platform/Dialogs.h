#pragma once
// Modal dialogs behind a narrow interface: the window plugs in Qt message
// boxes, the command line and the tests plug in recorders.
#include <optional>
#include <string>
#include <vector>

namespace dex {

enum class Icon { None, Information, Warning, Critical, Question };

struct OpenFileRequest {
    std::string fileName;     // initial file name (may be a full path)
    std::string initialDir;
    std::string filterLabel;  // "MDB File (mdb)"
    std::string filterPattern;  // "*.mdb"
};

struct OpenFileResult {
    bool cancelled = false;
    bool failed = false;       // any other dialog failure
    std::string fileName;      // the chosen file's full path
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // An OK box.
    virtual void message(const std::string& text, const std::string& title, Icon icon) = 0;
    // A Yes/No question; returns true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& title, bool defaultNo) = 0;
    virtual OpenFileResult openFile(const OpenFileRequest& request) = 0;
    // The save-file dialog, with the same request and answer: fileName is
    // the name offered, the pattern's first extension is added to a name
    // typed without one, and replacing an existing file is confirmed there.
    virtual OpenFileResult saveFile(const OpenFileRequest& request) = 0;
    // A password typed in (shown as dots); nullopt when cancelled or when
    // nobody can be asked.
    virtual std::optional<std::string> askPassword(const std::string& text, const std::string& title) {
        (void)text;
        (void)title;
        return std::nullopt;
    }
};

// Remembers every message and answers questions from a script; used by the
// command line and the tests.
class RecordingDialogs : public Dialogs {
public:
    struct Shown {
        std::string text, title;
        Icon icon;
    };
    std::vector<Shown> shown;
    bool answerYes = false;
    OpenFileResult nextFile{true, false, {}};
    std::vector<OpenFileRequest> fileRequests;
    OpenFileResult nextSaveFile{true, false, {}};
    std::vector<OpenFileRequest> saveRequests;

    void message(const std::string& text, const std::string& title, Icon icon) override {
        shown.push_back({text, title, icon});
    }
    bool askYesNo(const std::string& text, const std::string& title, bool) override {
        shown.push_back({text, title, Icon::Question});
        return answerYes;
    }
    OpenFileResult openFile(const OpenFileRequest& request) override {
        fileRequests.push_back(request);
        return nextFile;
    }
    OpenFileResult saveFile(const OpenFileRequest& request) override {
        saveRequests.push_back(request);
        return nextSaveFile;
    }
    // Answers to password prompts, first to last; none left: cancelled.
    std::vector<std::string> passwords;
    std::optional<std::string> askPassword(const std::string& text, const std::string& title) override {
        shown.push_back({text, title, Icon::Question});
        if (passwords.empty()) return std::nullopt;
        std::string pw = passwords.front();
        passwords.erase(passwords.begin());
        return pw;
    }
};

}  // namespace dex
