#include "gui/board_accessible.h"

#include <QWidget>

#include "client/board_speech.h"
#include "gui/board_panel.h"

namespace zp::board {
namespace {

// Children in reading order: row by row from the top.
Cell cellOfIndex(int index) {
  return {index % kBoardSize, index / kBoardSize};
}

// A part of a widget that has no widget of its own and no parts: a cell, a rack slot.
class PartAccessible : public QAccessibleInterface {
 public:
  explicit PartAccessible(QAccessibleInterface* whole) : whole_(whole) {}
  bool isValid() const override { return whole_ && whole_->isValid(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return whole_->window(); }
  QAccessibleInterface* parent() const override { return whole_; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  void setText(QAccessible::Text, const QString&) override {}

 private:
  QAccessibleInterface* whole_;
};

class BoardCellAccessible : public PartAccessible, public QAccessibleTableCellInterface {
 public:
  BoardCellAccessible(BoardAccessible* board, int index)
      : PartAccessible(board), board_(board), index_(index) {}

  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) return {};
    return QString::fromStdString(cellSpeech(board_->model(), cellOfIndex(index_)));
  }
  QRect rect() const override {
    const QWidget* box = board_->box();
    const QRect at = BoardPaintBox::cellRect(cellOfIndex(index_));
    return QRect(box->mapToGlobal(at.topLeft()), at.size());
  }
  QAccessible::Role role() const override { return QAccessible::Cell; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.focusable = true;
    const BoardPaintBox* box = board_->box();
    s.focused = box->hasFocus() && box->focusMark() == cellOfIndex(index_);
    s.selectable = true;
    s.selected = board_->model().mark(cellOfIndex(index_)) != kNoMark;
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::TableCellInterface
               ? static_cast<QAccessibleTableCellInterface*>(this)
               : nullptr;
  }

  // QAccessibleTableCellInterface
  bool isSelected() const override { return state().selected; }
  QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return cellOfIndex(index_).a; }
  int rowIndex() const override { return cellOfIndex(index_).b; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return board_; }

 private:
  BoardAccessible* board_;
  int index_;
};

class SlotAccessible : public PartAccessible {
 public:
  SlotAccessible(RackAccessible* rack, int index)
      : PartAccessible(rack), rack_(rack), index_(index) {}
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) return {};
    return QString::fromStdString(slotSpeech(rack_->model(), index_ + 1));
  }
  QRect rect() const override {
    const QWidget* box = rack_->rack();
    const QRect at(index_ * kTileSize, 0, kTileSize, kTileSize);
    return QRect(box->mapToGlobal(at.topLeft()), at.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override { return {}; }

 private:
  RackAccessible* rack_;
  int index_;
};

// Children are registered once and live as long as their parent's interface.
template <typename Child, typename Parent>
QAccessibleInterface* childOf(std::vector<QAccessible::Id>& ids, Parent* parent, int index,
                              int count) {
  if (index < 0 || index >= count) return nullptr;
  if (ids.empty()) ids.assign(static_cast<std::size_t>(count), 0);
  QAccessible::Id& id = ids[static_cast<std::size_t>(index)];
  if (id == 0) id = QAccessible::registerAccessibleInterface(new Child(parent, index));
  return QAccessible::accessibleInterface(id);
}

int indexAmong(const std::vector<QAccessible::Id>& ids, const QAccessibleInterface* child) {
  for (std::size_t i = 0; i < ids.size(); ++i)
    if (ids[i] != 0 && QAccessible::accessibleInterface(ids[i]) == child)
      return static_cast<int>(i);
  return -1;
}

void forget(const std::vector<QAccessible::Id>& ids) {
  for (QAccessible::Id id : ids)
    if (id != 0) QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* factory(const QString&, QObject* object) {
  if (auto* box = qobject_cast<BoardPaintBox*>(object)) return new BoardAccessible(box);
  if (auto* rack = qobject_cast<RackBox*>(object)) return new RackAccessible(rack);
  return nullptr;
}

}  // namespace

void installBoardAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(factory);
    return true;
  }();
  (void)installed;
}

// ---- the board

BoardAccessible::BoardAccessible(BoardPaintBox* box)
    : QAccessibleWidget(box, QAccessible::Table, QStringLiteral("Board")) {}

BoardAccessible::~BoardAccessible() {
  forget(cells_);
}

const BoardPaintBox* BoardAccessible::box() const {
  return static_cast<const BoardPaintBox*>(widget());
}

const BoardModel& BoardAccessible::model() const {
  return box()->model();
}

int BoardAccessible::childCount() const {
  return kCellCount;
}

QAccessibleInterface* BoardAccessible::child(int index) const {
  return childOf<BoardCellAccessible>(cells_, const_cast<BoardAccessible*>(this), index,
                                      kCellCount);
}

int BoardAccessible::indexOfChild(const QAccessibleInterface* c) const {
  return indexAmong(cells_, c);
}

QAccessibleInterface* BoardAccessible::childAt(int x, int y) const {
  const Cell c = BoardPaintBox::cellAt(widget()->mapFromGlobal(QPoint(x, y)));
  return onBoard(c) ? cellAt(c.b, c.a) : nullptr;
}

QAccessibleInterface* BoardAccessible::focusChild() const {
  const Cell at = box()->focusMark();
  if (!box()->hasFocus() || !onBoard(at.a, at.b)) return nullptr;
  return child(at.b * kBoardSize + at.a);
}

void* BoardAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* BoardAccessible::cellAt(int row, int column) const {
  if (!onBoard(column, row)) return nullptr;
  return child(row * kBoardSize + column);
}

int BoardAccessible::selectedCellCount() const {
  return static_cast<int>(selectedCells().size());
}

QList<QAccessibleInterface*> BoardAccessible::selectedCells() const {
  QList<QAccessibleInterface*> out;
  for (int i = 0; i < kCellCount; ++i)
    if (model().mark(cellOfIndex(i)) != kNoMark) out << child(i);
  return out;
}

QString BoardAccessible::columnDescription(int column) const {
  return QStringLiteral("column %1").arg(column + 1);
}

QString BoardAccessible::rowDescription(int row) const {
  return QStringLiteral("row %1").arg(row + 1);
}

int BoardAccessible::columnCount() const {
  return kBoardSize;
}

int BoardAccessible::rowCount() const {
  return kBoardSize;
}

// ---- the rack

RackAccessible::RackAccessible(RackBox* rack)
    : QAccessibleWidget(rack, QAccessible::List, QStringLiteral("Rack")) {}

RackAccessible::~RackAccessible() {
  forget(slots_);
}

const BoardModel& RackAccessible::model() const {
  return static_cast<const RackBox*>(widget())->model();
}

int RackAccessible::childCount() const {
  return kRackSlots;
}

QAccessibleInterface* RackAccessible::child(int index) const {
  return childOf<SlotAccessible>(slots_, const_cast<RackAccessible*>(this), index, kRackSlots);
}

int RackAccessible::indexOfChild(const QAccessibleInterface* c) const {
  return indexAmong(slots_, c);
}

}  // namespace zp::board
