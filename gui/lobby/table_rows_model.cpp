#include "gui/lobby/table_rows_model.h"

#include <QStringList>
#include <map>

#include "gui/look.h"

namespace zp::lobby_gui {

using lobby::Column;

namespace {
std::pair<std::string, std::uint16_t> keyOf(const lobby::TableRow& row) {
  return {row.where.host, row.where.port};
}

// "2 players: Ann; Bob", for a screen reader and wherever the names are not drawn one by
// one.
QString playersText(const lobby::TableRow& row) {
  if (row.state != lobby::TableState::kKnown || !row.info) return {};
  const std::vector<std::string> names = lobby::seatedPlayers(*row.info);
  if (names.empty()) return {};
  QStringList shown;
  for (const std::string& name : names) shown << gui::shownText(name);
  return (names.size() == 1 ? QStringLiteral("1 player: ")
                            : QStringLiteral("%1 players: ").arg(names.size())) +
         shown.join(QStringLiteral("; "));
}
}  // namespace

void TableRowsModel::show(const std::vector<lobby::TableRow>& rows) {
  std::map<std::pair<std::string, std::uint16_t>, const lobby::TableRow*> wanted;
  for (const lobby::TableRow& row : rows) wanted.emplace(keyOf(row), &row);
  for (int i = static_cast<int>(rows_.size()) - 1; i >= 0; --i) {
    if (wanted.count(keyOf(rows_[static_cast<std::size_t>(i)]))) continue;
    beginRemoveRows({}, i, i);
    rows_.erase(rows_.begin() + i);
    endRemoveRows();
  }
  // One notice for all the rows that changed: the sorted view sorts once, not per row.
  int firstChanged = -1;
  int lastChanged = -1;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    auto it = wanted.find(keyOf(rows_[i]));
    if (!(*it->second == rows_[i])) {
      rows_[i] = *it->second;
      if (firstChanged < 0) firstChanged = static_cast<int>(i);
      lastChanged = static_cast<int>(i);
    }
    wanted.erase(it);
  }
  if (firstChanged >= 0)
    emit dataChanged(index(firstChanged, 0), index(lastChanged, lobby::kColumns - 1));
  std::vector<const lobby::TableRow*> added;
  for (const lobby::TableRow& row : rows)
    if (wanted.count(keyOf(row))) added.push_back(&row);
  if (added.empty()) return;
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
  for (const lobby::TableRow* row : added) rows_.push_back(*row);
  endInsertRows();
}

const lobby::TableRow* TableRowsModel::rowAt(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
  return &rows_[static_cast<std::size_t>(row)];
}

int TableRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TableRowsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : lobby::kColumns;
}

QVariant TableRowsModel::data(const QModelIndex& index, int role) const {
  const lobby::TableRow* row = rowAt(index.row());
  if (!row || index.column() < 0 || index.column() >= lobby::kColumns) return {};
  const auto column = static_cast<Column>(index.column());
  const bool known = row->state == lobby::TableState::kKnown && row->info;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      // Numbers as numbers, so that the columns sort 2 before 10.
      if (known && column == Column::kFreeSeats) return lobby::freeSeats(*row->info);
      if (known && column == Column::kSpectators) return row->info->spectators;
      // The players as a list with its count: a name holding commas is still one player.
      if (column == Column::kPlayers) return playersText(*row);
      if (column == Column::kPlayTo && lobby::columnNumber(*row, column) >= 0)
        return lobby::columnNumber(*row, column);
      // An unhurried table travels as an hour's turn.
      if (column == Column::kTurnTime && lobby::columnNumber(*row, column) >= kUnhurriedSeconds)
        return QStringLiteral("no limit");
      // Names come from the network: shown as text, whatever bytes they hold.
      return gui::shownText(lobby::columnText(*row, column));
    case kPlayersRole: {
      if (!known || column != Column::kPlayers) return {};
      QStringList names;
      for (const std::string& name : lobby::seatedPlayers(*row->info))
        names << gui::shownText(name);
      return names;
    }
    case Qt::TextAlignmentRole:
      if (column == Column::kFreeSeats || column == Column::kSpectators ||
          column == Column::kPlayTo || column == Column::kTurnTime)
        return QVariant::fromValue(Qt::AlignCenter);
      return {};
    case Qt::ToolTipRole:
      if (column == Column::kState && row->state == lobby::TableState::kUnknown)
        return QStringLiteral(
            "The table does not answer (it may have ended, or be of an older "
            "copy of the game)");
      return {};
    case kSortRole:
      if (column == Column::kFreeSeats || column == Column::kSpectators ||
          column == Column::kPlayTo || column == Column::kTurnTime || column == Column::kComputer)
        return lobby::columnNumber(*row, column);
      // A table that never said its name goes after the named ones.
      if (column == Column::kName && !row->info) return QStringLiteral("\uFFFF");
      return gui::shownText(lobby::columnText(*row, column)).toCaseFolded();
    case kAddressRole:
      return QString::fromStdString(net::hostPortText(row->where));
    default:
      return {};
  }
}

QVariant TableRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= lobby::kColumns)
    return QAbstractTableModel::headerData(section, orientation, role);
  return QString::fromStdString(lobby::columnHeading(static_cast<Column>(section)));
}

}  // namespace zp::lobby_gui
