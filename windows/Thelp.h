#pragma once

#include <QDialog>

namespace zp::windows {

// The built-in help, one page per topic.
class Thelp : public QDialog {
  Q_OBJECT
 public:
  explicit Thelp(QWidget* parent = nullptr);
};

}  // namespace zp::windows
