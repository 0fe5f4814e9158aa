#pragma once

#include "core/import/ImportGrid.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace quillane::gui {

// The import file's cells for a table view, read straight from the core's
// grid so that a file of tens of thousands of rows costs no copy. The
// column headers show the column letters, or the field a column was chosen
// for; the row headers show the row's number in the file.
class ImportGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Shows that grid (owned by the caller, who calls reload() after
    // changing it).
    void setGrid(const ImportGrid* grid);
    void reload();
    // The header text of each column; a column without one shows its letter.
    void setCaptions(const QStringList& captions);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const ImportGrid* grid_ = nullptr;
    int columns_ = 0;
    QStringList letters_;
    QStringList captions_;
};

} // namespace quillane::gui
