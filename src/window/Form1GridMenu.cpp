// Below the grid's marks: a row's details box, a mark's tool tip, and the
// grid's context menu (report, fix script saved or applied, one-sided fields).
#include "Form1.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "DifferenceSummary.h"

#include "ApplyFix.h"
#include "FixScript.h"
#include "TableDetails.h"
#include "TableDetailsDialog.h"
#include "modCmpDB.h"

namespace dex {

using namespace form1;

namespace {

// The procedure names that an error message gives for these handlers.
constexpr const char* kDetailsProcedure = "spList_DblClick";
constexpr const char* kReportProcedure = "mnuSaveReport_Click";
constexpr const char* kFixScriptProcedure = "mnuFixScript_Click";
constexpr const char* kApplyFixProcedure = "mnuApplyFix_Click";

}  // namespace

void Form1::openRowDetails(int row) {
    guarded(kDetailsProcedure, [this, row] { showDetails(row); });
}

QDialog* Form1::showDetails(int row) {
    using gridlayout::Side;
    using gridlayout::SideColumn;
    const report::GridRow shown = report::TakeGridRow(grid_, row);
    std::string table = shown.cell(Side::A, SideColumn::Table);
    if (table.empty()) table = shown.cell(Side::B, SideColumn::Table);
    if (table.empty()) return nullptr;
    return showTableDetails(table);
}

QDialog* Form1::showTableDetails(const std::string& table) {
    const details::TableDetails found = details::MakeTableDetails(structures_, table, uiLanguage());
    if (!found.found()) return nullptr;
    if (details_) details_->close();
    auto* box = new TableDetailsDialog(found, structures_.pathA, structures_.pathB, this);
    details_ = box;
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}

std::string Form1::markToolTip(int column, int row) const {
    using gridlayout::SideColumn;
    const auto side = gridlayout::SideOf(column);
    if (!side || !gridlayout::IsIndexMark(gridlayout::SideColumnOf(column))) return {};
    const report::GridRow shown = report::TakeGridRow(grid_, row);
    if (shown.at(column) != "v") return {};
    return details::MarkTip(structures_, column, shown.cell(*side, SideColumn::Table),
                            shown.cell(*side, SideColumn::Field), uiLanguage());
}

bool Form1::haveFinishedRun() {
    if (runFinished_ && structures_.complete()) return true;
    dialogs_.message(tr("저장할 비교 결과가 없습니다. 먼저 비교하세요.").toStdString(), kAppTitle, Icon::None);
    return false;
}

std::string Form1::askSavePath(const std::string& name, const std::string& label, const std::string& pattern) {
    std::string folder = FolderOf(TrimBlanks(runPathA_));
    if (folder.empty()) folder = LastDir;
    const OpenFileResult chosen = dialogs_.saveFile({name, folder, label, pattern});
    if (chosen.cancelled || chosen.failed) return {};
    return chosen.fileName;
}

void Form1::saveReport() {
    guarded(kReportProcedure, [this] {
        if (!haveFinishedRun()) return;
        const std::string path =
            askSavePath("compare-report.html", "Report (html, csv, json)", "*.html *.csv *.json");
        if (path.empty()) return;
        if (!report::IsReportPath(path)) {
            dialogs_.message(tr("보고서 파일 이름은 .html, .csv 또는 .json으로 끝나야 합니다.").toStdString() +
                                 "\r\n\r\n" + path,
                             kAppTitle, Icon::Warning);
            return;
        }
        report::ReportData data = report::MakeReportData(grid_, &structures_, runMessages_, uiLanguage());
        data.requestedA = runPathA_;
        data.requestedB = runPathB_;
        data.product = runProduct_;
        try {
            report::WriteReport(path, data);
        } catch (const std::exception& e) {
            dialogs_.message(e.what(), kAppTitle, Icon::Critical);
            return;
        }
        dialogs_.message(tr("보고서를 저장했습니다.").toStdString() + "\r\n\r\n" + path, kAppTitle, Icon::Information);
    });
}

void Form1::saveFixScript(int target) {
    guarded(kFixScriptProcedure, [this, target] {
        if (!haveFinishedRun()) return;
        const bool fixB = target != 0;
        const std::string path = askSavePath(fixB ? "fix-B.sql" : "fix-A.sql", "SQL File (sql)", "*.sql");
        if (path.empty()) return;
        // Rows that would keep a foreign key from being created are counted
        // in the file the script is for (the migrated copy after a product's run).
        fixscript::EngineOrphanCheck orphans(engine_, fixB ? structures_.pathB : structures_.pathA, kProductPassword);
        const std::string script =
            fixscript::MakeFixScript(structures_, fixB ? fixscript::Target::B : fixscript::Target::A, &orphans);
        try {
            report::WriteWholeFile(path, script, "The fix script");
        } catch (const std::exception& e) {
            dialogs_.message(e.what(), kAppTitle, Icon::Critical);
            return;
        }
        const QString what = script.empty() ? tr("두 DB의 키와 인덱스가 같아 빈 스크립트를 저장했습니다.")
                             : fixB         ? tr("B의 키와 인덱스를 A와 같게 만드는 스크립트를 저장했습니다.")
                                            : tr("A의 키와 인덱스를 B와 같게 만드는 스크립트를 저장했습니다.");
        dialogs_.message(what.toStdString() + "\r\n\r\n" + path, kAppTitle, Icon::Information);
    });
}

void Form1::applyFixScript(int target) {
    guarded(kApplyFixProcedure, [this, target] {
        if (!haveFinishedRun()) return;
        const bool fixB = target != 0;
        fixscript::EngineOrphanCheck orphans(engine_, fixB ? structures_.pathB : structures_.pathA, kProductPassword);
        const std::string script =
            fixscript::MakeFixScript(structures_, fixB ? fixscript::Target::B : fixscript::Target::A, &orphans);
        if (script.empty()) {
            dialogs_.message(tr("두 DB의 키와 인덱스가 같아 적용할 것이 없습니다.").toStdString(), kAppTitle,
                             Icon::Information);
            return;
        }
        // The file the user named in the box, not the run's migrated copy.
        Workbench wb = workbench();
        ApplyFixScript(wb, TrimBlanks(fixB ? runPathB_ : runPathA_), static_cast<int16_t>(target & 1), script);
    });
}

QDialog* Form1::showOtherDifferences() {
    if (!haveFinishedRun()) return nullptr;
    if (others_) others_->close();
    const words::Language language = uiLanguage();
    const auto diff = indexdiff::CompareStructures(structures_.tablesA, structures_.tablesB);
    auto* box = new QDialog(this);
    box->setObjectName(QStringLiteral("OtherDifferences"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(tr("그 밖의 차이"));
    auto* layout = new QVBoxLayout(box);
    auto* heading = new QLabel(tr("격자에 나오지 않는 차이입니다. Enter 또는 두 번 클릭: 테이블 상세 정보"), box);
    heading->setTextFormat(Qt::PlainText);
    layout->addWidget(heading);
    auto* list = new QListWidget(box);
    list->setObjectName(QStringLiteral("lstOthers"));
    list->setAccessibleName(tr("그 밖의 차이"));
    // Each line keeps the table it is about.
    auto add = [list](const std::string& line, const std::string& table) {
        auto* item = new QListWidgetItem(QString::fromStdString(line), list);
        item->setData(Qt::UserRole, QString::fromStdString(table));
    };
    const auto lines = summary::DifferenceLines(diff, language);
    std::vector<std::string> tables;
    for (const auto& t : diff.tablesOnlyInA) tables.push_back(t);
    for (const auto& t : diff.tablesOnlyInB) tables.push_back(t);
    for (const auto& f : diff.fieldsOnlyInA) tables.push_back(f.table);
    for (const auto& f : diff.fieldsOnlyInB) tables.push_back(f.table);
    for (const auto& s : diff.settings) tables.push_back(s.table);
    for (const auto& d : diff.indexes) tables.push_back(d.table);
    for (size_t i = 0; i < lines.size() && i < tables.size(); ++i) add(lines[i], tables[i]);
    if (lines.empty()) add(summary::OthersText(summary::CountOf(diff), language), "");
    list->setCurrentRow(0);
    layout->addWidget(list);
    connect(list, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const std::string table = item->data(Qt::UserRole).toString().toStdString();
        if (!table.empty()) guarded(kDetailsProcedure, [this, &table] { showTableDetails(table); });
    });
    box->resize(std::min(width(), 900), 360);
    others_ = box;
    box->show();
    box->raise();
    box->activateWindow();
    list->setFocus();
    return box;
}

void Form1::showOneSidedFields(bool checked) {
    keepOneSidedFields_ = checked;
    if (mnuOneSided->isChecked() != checked) mnuOneSided->setChecked(checked);
    // The label under the boxes tells which fields the next run compares.
    Label1->setText(translated(checked ? modCmpDB::OneSidedModeLabel(true) : kLabelText));
}

}  // namespace dex
