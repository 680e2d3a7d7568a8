#include "TableDetailsDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "GridTableModel.h"

namespace dex {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QString tableCaption(const details::TableDetails& d) {
    if (d.tableB.empty()) return qs(d.tableA) + TableDetailsDialog::tr(" (A에만 있음)");
    if (d.tableA.empty()) return qs(d.tableB) + TableDetailsDialog::tr(" (B에만 있음)");
    if (d.tableA != d.tableB) return qs(d.tableA) + QStringLiteral(" (B: ") + qs(d.tableB) + QLatin1Char(')');
    return qs(d.tableA);
}

QLabel* sectionLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// The width and height a table needs to show every column and up to
// maxRows rows without scrolling.
QSize contentSize(const QTableWidget* t, int maxRows) {
    int w = 2 * t->frameWidth();
    for (int c = 0; c < t->columnCount(); ++c) w += t->columnWidth(c);
    int h = 2 * t->frameWidth() + t->horizontalHeader()->sizeHint().height();
    const int rows = std::min(std::max(t->rowCount(), 1), maxRows);
    h += rows * t->verticalHeader()->defaultSectionSize();
    if (t->rowCount() > maxRows) w += t->verticalScrollBar()->sizeHint().width();
    return {w, h};
}

}  // namespace

TableDetailsDialog::TableDetailsDialog(const details::TableDetails& d, const std::string& pathA, const std::string& pathB,
                       QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmDetails"));
    setWindowTitle(tr("테이블 상세 - ") + qs(d.tableA.empty() ? d.tableB : d.tableA));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    auto* table = new QLabel(tr("테이블: ") + tableCaption(d), this);
    table->setObjectName(QStringLiteral("lblTable"));
    table->setAccessibleName(tr("테이블"));
    QFont big = table->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    table->setFont(big);
    layout->addWidget(table);
    auto* paths = new QLabel(QStringLiteral("A: ") + qs(pathA) + QStringLiteral("\nB: ") + qs(pathB), this);
    paths->setObjectName(QStringLiteral("lblPaths"));
    paths->setAccessibleName(tr("비교한 파일"));
    paths->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(paths);

    layout->addWidget(sectionLabel(tr("키와 인덱스"), this));
    tblIndexes = makeTable("tblIndexes", d.indexes);
    tblIndexes->setAccessibleName(tr("키와 인덱스"));
    layout->addWidget(tblIndexes, 1);
    layout->addWidget(sectionLabel(tr("필드"), this));
    tblFields = makeTable("tblFields", d.fields);
    tblFields->setAccessibleName(tr("필드"));
    layout->addWidget(tblFields, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* close = new QPushButton(tr("닫기"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    // Enter closes the box as Enter on the grid opened it; Tab reaches the tables.
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    fitToContents();
    close->setFocus(Qt::OtherFocusReason);
}

QTableWidget* TableDetailsDialog::makeTable(const char* name, const details::Sheet& sheet) {
    auto* t = new QTableWidget(static_cast<int>(sheet.rows.size()), static_cast<int>(sheet.headers.size()), this);
    t->setObjectName(QString::fromLatin1(name));
    QStringList headers;
    for (const auto& h : sheet.headers) headers << qs(h);
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setWordWrap(false);
    t->setTabKeyNavigation(false);
    for (int r = 0; r < t->rowCount(); ++r) {
        const auto& row = sheet.rows[static_cast<size_t>(r)];
        for (int c = 0; c < t->columnCount() && c < static_cast<int>(row.size()); ++c) {
            auto* item = new QTableWidgetItem(qs(row[static_cast<size_t>(c)].text));
            if (const auto back = row[static_cast<size_t>(c)].back)
                item->setBackground(GridTableModel::toQColor(*back));
            t->setItem(r, c, item);
        }
    }
    t->resizeColumnsToContents();
    return t;
}

void TableDetailsDialog::fitToContents() {
    const QSize indexes = contentSize(tblIndexes, 8), fields = contentSize(tblFields, 16);
    tblIndexes->setMinimumHeight(indexes.height());
    tblFields->setMinimumHeight(std::min(fields.height(), contentSize(tblFields, 6).height()));
    const QMargins m = layout()->contentsMargins();
    const int width = std::max(indexes.width(), fields.width()) + m.left() + m.right();
    QSize wanted(width, sizeHint().height() - tblFields->minimumHeight() + fields.height());
    if (const QScreen* s = screen()) wanted = wanted.boundedTo(s->availableGeometry().size() * 9 / 10);
    resize(wanted.expandedTo(QSize(480, 320)));
}

}  // namespace dex
