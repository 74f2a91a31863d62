#pragma once

#include <QWidget>
#include <optional>

#include "lobby/lobby.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace zp::lobby_gui {

class TableRowsModel;

// The lobby's window: the player's name, the list of tables and what can be done with them.
// It draws the Lobby and forwards clicks and keys to it; closing it emits closed() (the
// program then lets the lobby withdraw a hosted table before it ends).
class LobbyWindow : public QWidget {
  Q_OBJECT

 public:
  explicit LobbyWindow(lobby::Lobby& lobby, QWidget* parent = nullptr);
  ~LobbyWindow() override;

  // The selected table, if any.
  std::optional<net::HostPort> selectedTable() const;

  QLineEdit* edit_name = nullptr;
  QTableView* grid_tables = nullptr;
  QPushButton* button_join = nullptr;
  QPushButton* button_host = nullptr;
  QPushButton* button_refresh = nullptr;
  QPushButton* button_add = nullptr;
  QPushButton* button_remove = nullptr;
  QPushButton* button_code = nullptr;
  QLabel* label_status = nullptr;

 signals:
  void closed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void joinSelected();
  void joinByCode();
  void hostTable();
  void addTable();
  void removeSelected();
  void takeName();
  void updateButtons();

  lobby::Lobby& lobby_;
  TableRowsModel* model_ = nullptr;
  QSortFilterProxyModel* sorted_ = nullptr;
};

}  // namespace zp::lobby_gui
