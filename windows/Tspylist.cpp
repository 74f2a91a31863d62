#include "windows/Tspylist.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "gui/look.h"
#include "gui/player_menu.h"

namespace zp::windows {
namespace {

QString q(std::string_view text) {
  return gui::shownText(text);
}

// The player number before the first ":", digits only; -1 when there is none.
int lineNumber(const QString& line) {
  const QString prefix = line.section(QLatin1Char(':'), 0, 0);
  if (prefix.isEmpty() || prefix.size() > 9) return -1;
  for (const QChar c : prefix) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
  }
  return prefix.toInt();
}

}  // namespace

Tspylist::Tspylist(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Zandu Pelix - Spys"));
  gui::useSideWindowLook(*this);

  listbox_spys = new QListWidget(this);
  listbox_spys->setObjectName(QStringLiteral("listbox_spys"));
  listbox_spys->viewport()->setMouseTracking(true);
  listbox_spys->viewport()->installEventFilter(this);

  menu_ = new QMenu(this);
  menu_->setObjectName(QStringLiteral("PopupMenu1"));
  menu_->setAccessibleName(QStringLiteral("Spectator menu"));
  fillMenu();

  auto* title = new QLabel(QStringLiteral("Spy List"), this);
  title->setObjectName(QStringLiteral("label_title"));
  gui::styleLabel(*title, {.bold = true, .pixelSize = 15});

  auto* ok = new QPushButton(QStringLiteral("Ok"), this);
  ok->setObjectName(QStringLiteral("button_ok"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QWidget::hide);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(title);
  bottom->addStretch();
  bottom->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(10);
  layout->addWidget(listbox_spys, 1);
  layout->addLayout(bottom);
  resize(QSize(220, 260));
}

void Tspylist::setHooks(Hooks hooks) {
  hooks_ = std::move(hooks);
  refresh();
}

void Tspylist::refresh() {
  const std::vector<std::string> lines = hooks_.spies ? hooks_.spies() : std::vector<std::string>{};
  while (listbox_spys->count() > static_cast<int>(lines.size()))
    delete listbox_spys->takeItem(listbox_spys->count() - 1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    QListWidgetItem* item = listbox_spys->item(static_cast<int>(i));
    if (item == nullptr) item = new QListWidgetItem(listbox_spys);
    if (item->text() != q(lines[i])) item->setText(q(lines[i]));
  }
  if (pointed_ >= listbox_spys->count()) pointed_ = -1;
}

void Tspylist::setHostEnabled(bool enabled) {
  hostEnabled_ = enabled;
  removeFromGame_->setEnabled(enabled);
}

void Tspylist::fillMenu() {
  // clear() leaves the submenus behind as children.
  qDeleteAll(menu_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly));
  menu_->clear();
  removeFromGame_ =
      menu_->addAction(QStringLiteral("Remove From Game"), this, &Tspylist::removeFromGame);
  removeFromGame_->setObjectName(QStringLiteral("RemoveFromGame1"));
  removeFromGame_->setEnabled(hostEnabled_);
  if (!hooks_.menu) return;
  const int number = lineNumber(menuLine_);
  menu_->addSeparator();
  // The line may be gone by the time an item is chosen: each acts only if it is still there.
  const QString line = menuLine_;
  auto stillThere = [this, line] {
    return !listbox_spys->findItems(line, Qt::MatchExactly).isEmpty();
  };
  gui::addPlayerItems(
      *menu_, hooks_.menu(number),
      [this, number, stillThere] {
        if (stillThere() && hooks_.ignore) hooks_.ignore(number);
      },
      [this, number, stillThere](int minutes) {
        if (stillThere() && hooks_.mute) hooks_.mute(number, minutes);
      });
}

bool Tspylist::eventFilter(QObject* watched, QEvent* event) {
  if (watched != listbox_spys->viewport()) return QDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseMove:
      pointed_ =
          listbox_spys->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row();
      break;
    case QEvent::Leave:
      pointed_ = -1;
      break;
    case QEvent::ContextMenu: {
      const auto* menuEvent = static_cast<QContextMenuEvent*>(event);
      if (menuEvent->reason() == QContextMenuEvent::Mouse)
        pointed_ = listbox_spys->indexAt(menuEvent->pos()).row();
      // The menu acts on this line even when the list changes while it is open.
      const QListWidgetItem* item = listbox_spys->item(pointed_);
      menuLine_ = item != nullptr ? item->text() : QString();
      fillMenu();
      menu_->popup(menuEvent->globalPos());
      return true;
    }
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

void Tspylist::removeFromGame() {
  if (!hostEnabled_ || menuLine_.isEmpty() || !hooks_.kick) return;
  // A spectator who left while the menu was open is not removed in someone else's place.
  if (listbox_spys->findItems(menuLine_, Qt::MatchExactly).isEmpty()) return;
  const int number = lineNumber(menuLine_);
  if (number >= 0) hooks_.kick(number);
}

void Tspylist::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    refresh();
    gui::centreOnce(*this, placed_);
  }
  QDialog::showEvent(event);
}

}  // namespace zp::windows
