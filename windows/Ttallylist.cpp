#include "windows/Ttallylist.h"

#include "windows/side_windows.h"

namespace zp::windows {

Ttallylist::Ttallylist(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Zandu Pelix - Tally List"));
  useGameFont(*this);
  resize(QSize(460, 380));
}

}  // namespace zp::windows
