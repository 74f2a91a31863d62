#pragma once

#include <QDialog>

namespace zp::windows {

// Edits the phrases of the chat's nine phrase buttons.
class Tphrases : public QDialog {
  Q_OBJECT
 public:
  explicit Tphrases(QWidget* parent = nullptr);
};

}  // namespace zp::windows
