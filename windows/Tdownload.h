#pragma once

#include <QDialog>

class QShowEvent;

namespace zp::windows {

// Offers a solo game, the lobby, or the lobby's download; centred on the desktop and kept
// above everything when shown.
class Tdownload : public QDialog {
  Q_OBJECT
 public:
  explicit Tdownload(QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace zp::windows
