#pragma once
// The grid's column header with two rows. The lower row shows each column's
// label; the upper row shows the joined cells (a run of columns sharing one
// cell, such as the path of the database loaded on that side). QHeaderView
// cannot span sections, so each section paints its own share of the joined
// cell: the cell's full rectangle, clipped to the section.
//
// It reads everything from the model's header roles (GridTableModel):
// UpperHeaderRole, JoinFirstRole, JoinLastRole. A column outside any join
// whose label is empty shows its upper text over the full height.
#include <QHeaderView>

namespace dex {

class GridHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit GridHeaderView(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // Rectangle of the upper cell that section belongs to, in viewport
    // coordinates (the whole joined cell for a section inside a join).
    QRect upperCellRect(int logicalIndex) const;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    void paintCell(QPainter* painter, const QRect& cell, const QRect& clip, const QString& text,
                   int logicalIndex) const;
    int rowHeight() const;
};

}  // namespace dex
