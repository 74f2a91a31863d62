#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QShowEvent;

// The about box: the game's logo, the maker's page and the version. The `version` label is
// where the program reads its own protocol version from; the build label beside it is
// shown only.
namespace zp::windows {

class Tabout : public QDialog {
  Q_OBJECT
 public:
  explicit Tabout(QWidget* parent = nullptr);

  // The protocol version shown, without the build number.
  QString version() const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* logo_ = nullptr;
  QLabel* url_ = nullptr;
  QLabel* version_ = nullptr;
};

}  // namespace zp::windows
