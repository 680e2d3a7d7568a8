#pragma once
// The details box of one table (objectName "frmDetails"), opened from a row
// of the grid: both sides' keys and indexes (tblIndexes) and both sides'
// field settings (tblFields) side by side, each difference coloured as the
// grid colours it. It shows a snapshot and keeps no link to the comparison.
#include <QDialog>
#include <string>

#include "TableDetails.h"

class QTableWidget;

namespace dex {

class TableDetailsDialog : public QDialog {
    Q_OBJECT
public:
    TableDetailsDialog(const details::TableDetails& details, const std::string& pathA, const std::string& pathB,
               QWidget* parent = nullptr);

    QTableWidget* indexTable() const { return tblIndexes; }
    QTableWidget* fieldTable() const { return tblFields; }

private:
    QTableWidget* makeTable(const char* name, const details::Sheet& sheet);
    void fitToContents();

    QTableWidget* tblIndexes = nullptr;
    QTableWidget* tblFields = nullptr;
};

}  // namespace dex
