#include "windows/Tphrases.h"

#include "windows/side_windows.h"

namespace zp::windows {

Tphrases::Tphrases(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Zandu Pelix - Phrase Buttons "));
  useGameFont(*this);
  resize(QSize(320, 380));
}

}  // namespace zp::windows
