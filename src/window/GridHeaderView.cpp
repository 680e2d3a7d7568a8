#include "GridHeaderView.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <climits>
#include <QStyleOptionHeader>

#include "GridTableModel.h"

namespace dex {

GridHeaderView::GridHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignCenter);
    // A joined cell spans several sections: any change of one section's size
    // or position moves the others' share, so the whole header repaints.
    auto repaintAll = [this] { viewport()->update(); };
    connect(this, &QHeaderView::sectionResized, this, repaintAll);
    connect(this, &QHeaderView::geometriesChanged, this, repaintAll);
    connect(this, &QHeaderView::sectionCountChanged, this, repaintAll);
}

int GridHeaderView::rowHeight() const {
    return fontMetrics().height() + 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 2;
}

QSize GridHeaderView::sizeHint() const {
    QSize s = QHeaderView::sizeHint();
    s.setHeight(2 * rowHeight());
    return s;
}

QRect GridHeaderView::upperCellRect(int logicalIndex) const {
    const int half = height() / 2;
    QRect own(sectionViewportPosition(logicalIndex), 0, sectionSize(logicalIndex), half);
    if (!model()) return own;
    const int first = model()->headerData(logicalIndex, Qt::Horizontal, GridTableModel::JoinFirstRole).toInt();
    const int last = model()->headerData(logicalIndex, Qt::Horizontal, GridTableModel::JoinLastRole).toInt();
    if (first < 0 || last < first) return own;
    int left = INT_MAX, right = INT_MIN;
    for (int s = first; s <= last && s < count(); ++s) {
        if (isSectionHidden(s)) continue;
        const int pos = sectionViewportPosition(s);
        left = std::min(left, pos);
        right = std::max(right, pos + sectionSize(s));
    }
    if (left > right) return own;
    return QRect(left, 0, right - left, half);
}

void GridHeaderView::paintCell(QPainter* painter, const QRect& cell, const QRect& clip, const QString& text,
                               int logicalIndex) const {
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = cell;
    opt.section = logicalIndex;
    opt.text = text;
    opt.textAlignment = Qt::AlignCenter;
    opt.position = QStyleOptionHeader::Middle;
    opt.state |= QStyle::State_Enabled | QStyle::State_Raised;
    painter->save();
    painter->setClipRect(clip, Qt::IntersectClip);
    style()->drawControl(QStyle::CE_Header, &opt, painter, this);
    painter->restore();
}

void GridHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid() || !model()) return;
    const QString upper = model()->headerData(logicalIndex, Qt::Horizontal, GridTableModel::UpperHeaderRole).toString();
    const QString lower = model()->headerData(logicalIndex, Qt::Horizontal, Qt::DisplayRole).toString();
    const bool joined = model()->headerData(logicalIndex, Qt::Horizontal, GridTableModel::JoinFirstRole).toInt() >= 0;
    if (!joined && lower.isEmpty()) {
        paintCell(painter, rect, rect, upper, logicalIndex);
        return;
    }
    const int half = rect.height() / 2;
    const QRect upperOwn(rect.left(), rect.top(), rect.width(), half);
    const QRect lowerOwn(rect.left(), rect.top() + half, rect.width(), rect.height() - half);
    QRect upperCell = upperCellRect(logicalIndex);
    upperCell.moveTop(rect.top());
    upperCell.setHeight(half);
    paintCell(painter, upperCell, upperOwn, upper, logicalIndex);
    paintCell(painter, lowerOwn, lowerOwn, lower, logicalIndex);
}

}  // namespace dex
