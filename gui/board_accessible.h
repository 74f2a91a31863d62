#pragma once

#include <QAccessibleWidget>
#include <vector>

#include "client/board_model.h"

class QWidget;

// The board and the rack as a screen reader sees them: a table of 49 named cells, and a
// list of seven named slots, instead of one nameless painted area.
namespace zp::board {

class BoardPaintBox;
class RackBox;

// Installs the factory that gives the board and the rack their interfaces; once per program.
void installBoardAccessibility();

// The board: a table, 7 rows by 7 columns, its children the cells in reading order.
class BoardAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit BoardAccessible(BoardPaintBox* box);
  ~BoardAccessible() override;

  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  // The cell under the keyboard's mark while the board has the focus.
  QAccessibleInterface* focusChild() const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  // QAccessibleTableInterface
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override;
  int selectedCellCount() const override;
  QList<QAccessibleInterface*> selectedCells() const override;
  QString columnDescription(int column) const override;
  QString rowDescription(int row) const override;
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return 0; }
  int columnCount() const override;
  int rowCount() const override;
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override { return {}; }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int) const override { return false; }
  bool selectColumn(int) override { return false; }
  bool selectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override {}

  const BoardModel& model() const;
  const BoardPaintBox* box() const;

 private:
  mutable std::vector<QAccessible::Id> cells_;  // registered lazily, by index a * 7 + b
};

// The rack: seven named slots.
class RackAccessible : public QAccessibleWidget {
 public:
  explicit RackAccessible(RackBox* rack);
  ~RackAccessible() override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  const BoardModel& model() const;
  const QWidget* rack() const { return widget(); }

 private:
  mutable std::vector<QAccessible::Id> slots_;
};

}  // namespace zp::board
