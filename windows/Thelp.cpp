#include "windows/Thelp.h"

#include "windows/side_windows.h"

namespace zp::windows {

Thelp::Thelp(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Zandu Pelix - Help File"));
  useGameFont(*this);
  resize(QSize(640, 440));
}

}  // namespace zp::windows
