#pragma once

#include <QDialog>

namespace zp::windows {

// The spectators at the table; stays above the game's other windows while open.
class Tspylist : public QDialog {
  Q_OBJECT
 public:
  explicit Tspylist(QWidget* parent = nullptr);
};

}  // namespace zp::windows
