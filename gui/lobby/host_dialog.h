#pragma once

#include <QDialog>

#include "lobby/lobby.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zp::lobby_gui {

// Host a Table: what the table is called and the rules its games start with. The values
// open as the lobby offers them; the dialog only collects them.
class HostDialog : public QDialog {
  Q_OBJECT

 public:
  explicit HostDialog(const lobby::HostChoice& offered, QWidget* parent = nullptr);
  lobby::HostChoice choice() const;

  QLineEdit* edit_tablename = nullptr;
  QSpinBox* spin_playto = nullptr;
  QSpinBox* spin_seconds = nullptr;
  QCheckBox* check_unhurried = nullptr;
  QComboBox* combo_computer = nullptr;
  QComboBox* combo_visibility = nullptr;
  QPushButton* button_host = nullptr;
};

}  // namespace zp::lobby_gui
