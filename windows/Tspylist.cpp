#include "windows/Tspylist.h"

#include "windows/side_windows.h"

namespace zp::windows {

Tspylist::Tspylist(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setWindowTitle(QStringLiteral("Zandu Pelix - Spys"));
  useGameFont(*this);
  resize(QSize(220, 260));
}

}  // namespace zp::windows
