#include "gui/import/ImportGridModel.h"

#include "gui/common/QtText.h"

namespace quillane::gui {

void ImportGridModel::setGrid(const ImportGrid* grid)
{
    grid_ = grid;
    reload();
}

void ImportGridModel::reload()
{
    beginResetModel();
    letters_.clear();
    columns_ = 0;
    if (grid_ != nullptr) {
        // Counted once here: the view asks for it far more often than the grid changes.
        columns_ = static_cast<int>(grid_->ColumnCount());
        for (const std::string& letter : grid_->ColumnLetters()) {
            letters_ << toQ(letter);
        }
    }
    endResetModel();
}

void ImportGridModel::setCaptions(const QStringList& captions)
{
    captions_ = captions;
    if (columns_ > 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
    }
}

int ImportGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || grid_ == nullptr ? 0 : static_cast<int>(grid_->Rows.size());
}

int ImportGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant ImportGridModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || grid_ == nullptr || !index.isValid() ||
        static_cast<std::size_t>(index.row()) >= grid_->Rows.size()) {
        return {};
    }
    return toQ(grid_->Rows[static_cast<std::size_t>(index.row())].Cell(static_cast<std::size_t>(index.column())));
}

QVariant ImportGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (orientation == Qt::Horizontal) {
        if (section < captions_.size() && !captions_[section].isEmpty()) {
            return captions_[section];
        }
        return section < letters_.size() ? letters_[section] : QVariant();
    }
    if (grid_ != nullptr && static_cast<std::size_t>(section) < grid_->Rows.size()) {
        return static_cast<qulonglong>(grid_->Rows[static_cast<std::size_t>(section)].Row);
    }
    return {};
}

} // namespace quillane::gui
