#include "gui/lobby/lobby_window.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>

#include "gui/lobby/host_dialog.h"
#include "gui/lobby/players_delegate.h"
#include "gui/lobby/table_rows_model.h"
#include "gui/look.h"
#include "rules/constants.h"

namespace zp::lobby_gui {

using lobby::Column;

namespace {
QPushButton* button(const QString& text, const QString& description, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setAccessibleName(QString(text).remove(QLatin1Char('&')).remove(QStringLiteral("…")));
  b->setAccessibleDescription(description);
  b->setToolTip(description);
  return b;
}
}  // namespace

LobbyWindow::LobbyWindow(lobby::Lobby& lobby, QWidget* parent) : QWidget(parent), lobby_(lobby) {
  setWindowTitle(QStringLiteral("Zandu Pelix Lobby"));
  gui::useGameFont(*this);
  resize(990, 460);

  auto* nameLabel = new QLabel(QStringLiteral("Your &name:"), this);
  edit_name = new QLineEdit(lobby_.name(), this);
  edit_name->setMaxLength(kMaxNameLength);
  edit_name->setPlaceholderText(QStringLiteral("the name the other players see"));
  edit_name->setAccessibleName(QStringLiteral("Your name"));
  nameLabel->setBuddy(edit_name);
  QObject::connect(edit_name, &QLineEdit::editingFinished, this, &LobbyWindow::takeName);

  model_ = new TableRowsModel(this);
  sorted_ = new QSortFilterProxyModel(this);
  sorted_->setSourceModel(model_);
  sorted_->setSortRole(TableRowsModel::kSortRole);
  sorted_->setDynamicSortFilter(true);
  grid_tables = new QTableView(this);
  grid_tables->setModel(sorted_);
  grid_tables->setAccessibleName(QStringLiteral("Tables"));
  grid_tables->setAccessibleDescription(
      QStringLiteral("The tables you can join; Enter or a double click joins the selected one"));
  grid_tables->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_tables->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_tables->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_tables->setTabKeyNavigation(false);
  grid_tables->setSortingEnabled(true);
  grid_tables->sortByColumn(static_cast<int>(Column::kName), Qt::AscendingOrder);
  grid_tables->verticalHeader()->hide();
  grid_tables->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
  grid_tables->setWordWrap(false);
  grid_tables->setAlternatingRowColors(true);
  QHeaderView* header = grid_tables->horizontalHeader();
  header->setHighlightSections(false);
  const int widths[lobby::kColumns] = {170, 200, 75, 80, 60, 55, 75, 70, 195};
  for (int c = 0; c < lobby::kColumns; ++c) grid_tables->setColumnWidth(c, widths[c]);
  header->setSectionResizeMode(static_cast<int>(Column::kPlayers), QHeaderView::Stretch);
  grid_tables->setItemDelegateForColumn(static_cast<int>(Column::kPlayers),
                                        new PlayersDelegate(grid_tables));
  grid_tables->installEventFilter(this);
  QObject::connect(grid_tables, &QTableView::doubleClicked, this, &LobbyWindow::joinSelected);
  QObject::connect(grid_tables->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                   &LobbyWindow::updateButtons);

  button_join = button(QStringLiteral("&Join"), QStringLiteral("Join the selected table"), this);
  button_host = button(QStringLiteral("&Host a Table"),
                       QStringLiteral("Host a table on this computer and sit at it"), this);
  button_refresh =
      button(QStringLiteral("Re&fresh"), QStringLiteral("Ask every table again now"), this);
  button_add = button(QStringLiteral("&Add Table…"),
                      QStringLiteral("Add a table by its address, to be listed from now on"), this);
  button_remove = button(QStringLiteral("&Remove"),
                         QStringLiteral("Remove the selected table you added"), this);
  button_code = button(QStringLiteral("Join by &Code…"),
                       QStringLiteral("Join a table by the invite code its host gave you"), this);
  button_join->setDefault(true);
  QObject::connect(button_code, &QPushButton::clicked, this, &LobbyWindow::joinByCode);
  QObject::connect(button_join, &QPushButton::clicked, this, &LobbyWindow::joinSelected);
  QObject::connect(button_host, &QPushButton::clicked, this, &LobbyWindow::hostTable);
  QObject::connect(button_refresh, &QPushButton::clicked, this, [this] { lobby_.refresh(); });
  QObject::connect(button_add, &QPushButton::clicked, this, &LobbyWindow::addTable);
  QObject::connect(button_remove, &QPushButton::clicked, this, &LobbyWindow::removeSelected);

  label_status = new QLabel(this);
  label_status->setTextFormat(Qt::PlainText);
  label_status->setWordWrap(true);
  // A screen reader reads the line itself, and hears it change.
  label_status->setAccessibleDescription(QStringLiteral("Status"));
  label_status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(nameLabel);
  nameRow->addWidget(edit_name, 1);
  nameRow->addStretch(2);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b :
       {button_join, button_code, button_host, button_refresh, button_add, button_remove})
    buttons->addWidget(b);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(nameRow);
  layout->addWidget(grid_tables, 1);
  layout->addLayout(buttons);
  layout->addWidget(label_status);

  QObject::connect(&lobby_, &lobby::Lobby::rowsChanged, this, [this] {
    model_->show(lobby_.rows());
    updateButtons();
  });
  QObject::connect(&lobby_, &lobby::Lobby::statusChanged, this,
                   [this] { label_status->setText(lobby_.statusLine()); });
  model_->show(lobby_.rows());
  label_status->setText(lobby_.statusLine());
  updateButtons();
  grid_tables->setFocus();
  if (edit_name->text().isEmpty()) edit_name->setFocus();
}

LobbyWindow::~LobbyWindow() {
  // The children go after this window's own part: their last signals (the name field losing
  // the focus, the selection emptied) must not reach it.
  edit_name->disconnect(this);
  grid_tables->selectionModel()->disconnect(this);
}

std::optional<net::HostPort> LobbyWindow::selectedTable() const {
  const QModelIndexList rows = grid_tables->selectionModel()->selectedRows();
  if (rows.isEmpty()) return std::nullopt;
  const lobby::TableRow* row = model_->rowAt(sorted_->mapToSource(rows.first()).row());
  if (!row) return std::nullopt;
  return row->where;
}

void LobbyWindow::takeName() {
  const QString kept = lobby_.setName(edit_name->text());
  if (kept != edit_name->text()) edit_name->setText(kept);
}

void LobbyWindow::joinSelected() {
  takeName();
  // A relayed row is joined by its code; any other at its address.
  const QModelIndexList rows = grid_tables->selectionModel()->selectedRows();
  if (!rows.isEmpty())
    if (const lobby::TableRow* row = model_->rowAt(sorted_->mapToSource(rows.first()).row()))
      lobby_.joinRow(*row);
  if (lobby_.name().isEmpty()) edit_name->setFocus();
}

void LobbyWindow::joinByCode() {
  takeName();
  bool ok = false;
  const QString code = QInputDialog::getText(
      this, QStringLiteral("Join by Code"),
      QStringLiteral("The invite code, such as K7Q-2M9 (or K7Q-2M9@DIRECTORY for another "
                     "directory than the lobby's):"),
      QLineEdit::Normal, QString(), &ok);
  if (ok && !code.trimmed().isEmpty()) lobby_.joinByCode(code);
  if (lobby_.name().isEmpty()) edit_name->setFocus();
}

void LobbyWindow::hostTable() {
  takeName();
  // Without a name the lobby says what is missing; the dialog would only be in the way.
  if (lobby_.name().isEmpty()) {
    lobby_.host();
    edit_name->setFocus();
    return;
  }
  HostDialog dialog(lobby_.hostChoice(), this);
  if (dialog.exec() == QDialog::Accepted) lobby_.host(dialog.choice());
}

void LobbyWindow::addTable() {
  bool ok = false;
  const QString address = QInputDialog::getText(
      this, QStringLiteral("Add Table"),
      QStringLiteral("The table's address: HOST or HOST:PORT (port %1 unless given)")
          .arg(lobby::kTablePort),
      QLineEdit::Normal, QString(), &ok);
  if (ok && !address.trimmed().isEmpty()) lobby_.addTable(address);
}

void LobbyWindow::removeSelected() {
  if (const auto table = selectedTable()) lobby_.removeTable(*table);
}

void LobbyWindow::updateButtons() {
  const auto table = selectedTable();
  button_join->setEnabled(table.has_value());
  button_remove->setEnabled(table && lobby_.isAdded(*table));
}

bool LobbyWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_tables && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      joinSelected();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void LobbyWindow::closeEvent(QCloseEvent* event) {
  takeName();
  emit closed();
  QWidget::closeEvent(event);
}

}  // namespace zp::lobby_gui
