#pragma once
// Dialogs shown with Qt: QMessageBox for messages and questions, QFileDialog
// for choosing a database file and where to save a file. Every box carries
// the program's title.
#include <QPointer>
#include <QWidget>

#include "Dialogs.h"

namespace dex {

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    // The window the boxes are centred on (may change after construction).
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    void message(const std::string& text, const std::string& title, Icon icon) override;
    bool askYesNo(const std::string& text, const std::string& title, bool defaultNo) override;
    OpenFileResult openFile(const OpenFileRequest& request) override;
    OpenFileResult saveFile(const OpenFileRequest& request) override;
    std::optional<std::string> askPassword(const std::string& text, const std::string& title) override;

    // "Label (pattern)", the form QFileDialog expects.
    static QString nameFilter(const OpenFileRequest& request);
    // Text as a message box shows it: CR LF pairs become plain line breaks.
    static QString boxText(const std::string& text);

private:
    QPointer<QWidget> parent_;
};

}  // namespace dex
