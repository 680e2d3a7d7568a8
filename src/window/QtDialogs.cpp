#include "QtDialogs.h"

#include <QInputDialog>
#include <QLineEdit>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <QRegularExpression>

namespace dex {

namespace {

QString caption(const std::string& title) {
    return QString::fromStdString(title.empty() ? std::string("Dexmira") : title);
}

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QString QtDialogs::boxText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QString QtDialogs::nameFilter(const OpenFileRequest& request) {
    const QString pattern = QString::fromStdString(request.filterPattern.empty() ? "*" : request.filterPattern);
    return QString::fromStdString(request.filterLabel) + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

void QtDialogs::message(const std::string& text, const std::string& title, Icon icon) {
    QMessageBox box(boxIcon(icon), caption(title), boxText(text), QMessageBox::Ok, parent_.data());
    box.exec();
}

bool QtDialogs::askYesNo(const std::string& text, const std::string& title, bool defaultNo) {
    // The questions carry no icon of their own, so none is shown.
    QMessageBox box(QMessageBox::NoIcon, caption(title), boxText(text), QMessageBox::Yes | QMessageBox::No,
                    parent_.data());
    box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::askPassword(const std::string& text, const std::string& title) {
    bool ok = false;
    const QString typed = QInputDialog::getText(parent_.data(), caption(title), boxText(text), QLineEdit::Password,
                                                QString(), &ok);
    if (!ok) return std::nullopt;
    return typed.toStdString();
}

namespace {

void prepareFileDialog(QFileDialog& dialog, const OpenFileRequest& request) {
    dialog.setNameFilter(QtDialogs::nameFilter(request));
    if (!request.initialDir.empty()) dialog.setDirectory(QString::fromStdString(request.initialDir));
    const QString name = QString::fromStdString(request.fileName);
    if (!name.isEmpty()) {
        // A full path whose folder exists opens that folder; anything else
        // (a path of another system, a bare name) only fills the name box.
        const QFileInfo info(name);
        if (info.isAbsolute() && info.dir().exists())
            dialog.selectFile(name);
        else
            dialog.selectFile(name.section(QRegularExpression(QStringLiteral("[/\\\\]")), -1));
    }
}

// Shows the dialog; the chosen file, or cancelled.
OpenFileResult runFileDialog(QFileDialog& dialog) {
    OpenFileResult result;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        result.cancelled = true;
        return result;
    }
    result.fileName = dialog.selectedFiles().first().toStdString();
    return result;
}

}  // namespace

OpenFileResult QtDialogs::openFile(const OpenFileRequest& request) {
    QFileDialog dialog(parent_.data());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    prepareFileDialog(dialog, request);
    return runFileDialog(dialog);
}

OpenFileResult QtDialogs::saveFile(const OpenFileRequest& request) {
    QFileDialog dialog(parent_.data());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // "*.html *.csv" -> "html": added to a name typed without an extension.
    const QString first = QString::fromStdString(request.filterPattern).section(QLatin1Char(' '), 0, 0);
    const QString suffix = first.startsWith(QStringLiteral("*.")) ? first.mid(2) : QString();
    if (!suffix.isEmpty() && !suffix.contains(QLatin1Char('*'))) dialog.setDefaultSuffix(suffix);
    prepareFileDialog(dialog, request);
    return runFileDialog(dialog);
}

}  // namespace dex
