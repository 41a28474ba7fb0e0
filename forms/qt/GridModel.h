#pragma once
// A table model reading a TStringGrid: the fixed row gives the column headers,
// the fixed column the row headers; the view asks only for what it shows, so
// thousands of rows appear at once.
#include <QAbstractTableModel>

#include "forms/Controls.h"

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(const TStringGrid &grid, QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Resets the model when the grid changed since the last call; true if it did.
    bool Sync();

private:
    int FixedRows() const;
    int FixedCols() const;
    const TStringGrid &Grid;
    unsigned SeenChange = 0;
    int SeenRows = -1;
    int SeenCols = -1;
};
