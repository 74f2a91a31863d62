#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "lobby/table_finder.h"

namespace zp::lobby_gui {

// The lobby's rows for a table view. A new list changes rows in place, removes the ones gone
// and adds the new ones at the end, so the selection and the sort stay where they were while
// the list refreshes.
class TableRowsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The address of a row, for the lobby's Join and Remove.
  static constexpr int kAddressRole = Qt::UserRole + 1;
  // What a column sorts by: numbers for the counts (-1 for a table that does not answer),
  // text without regard to case for the others.
  static constexpr int kSortRole = Qt::UserRole + 2;
  // The players column's names, one by one (a QStringList), for the window to draw apart:
  // no name can then pass for several.
  static constexpr int kPlayersRole = Qt::UserRole + 3;

  using QAbstractTableModel::QAbstractTableModel;

  void show(const std::vector<lobby::TableRow>& rows);
  const lobby::TableRow* rowAt(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  std::vector<lobby::TableRow> rows_;
};

}  // namespace zp::lobby_gui
