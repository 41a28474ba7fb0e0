#include "forms/qt/GridModel.h"

#include <algorithm>

GridModel::GridModel(const TStringGrid &grid, QObject *parent) : QAbstractTableModel(parent), Grid(grid) {
    Sync();
}

int GridModel::FixedRows() const {
    return std::clamp<int>(Grid.FixedRows, 0, 1);
}
int GridModel::FixedCols() const {
    return std::clamp<int>(Grid.FixedCols, 0, 1);
}

int GridModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : std::max(SeenRows - FixedRows(), 0);
}

int GridModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : std::max(SeenCols - FixedCols(), 0);
}

QVariant GridModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return QString::fromStdString(Grid.Cell(index.column() + FixedCols(), index.row() + FixedRows()));
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return FixedRows() ? QString::fromStdString(Grid.Cell(section + FixedCols(), 0)) : QVariant();
    return FixedCols() ? QString::fromStdString(Grid.Cell(0, section + FixedRows())) : QVariant();
}

bool GridModel::Sync() {
    if (Grid.ChangeCount == SeenChange && Grid.RowCount() == SeenRows && Grid.ColCount == SeenCols)
        return false;
    beginResetModel();
    SeenChange = Grid.ChangeCount;
    SeenRows = Grid.RowCount();
    SeenCols = Grid.ColCount;
    endResetModel();
    return true;
}
