#pragma once

#include <QDialog>

namespace zp::windows {

// The long-running tally of games and wins.
class Ttallylist : public QDialog {
  Q_OBJECT
 public:
  explicit Ttallylist(QWidget* parent = nullptr);
};

}  // namespace zp::windows
