#include "gui/player_menu.h"

namespace zp::gui {

void addPlayerItems(QMenu& menu, const client::SeatMenu& items, std::function<void()> ignore,
                    std::function<void(int minutes)> mute) {
  QAction* ignoreItem = menu.addAction(QStringLiteral("Ignore"), &menu, std::move(ignore));
  ignoreItem->setObjectName(QStringLiteral("Ignore1"));
  ignoreItem->setCheckable(true);
  ignoreItem->setChecked(items.ignored);
  ignoreItem->setEnabled(items.ignore);
  // A submenu's title is what a screen reader reads for it.
  QMenu* muteMenu = menu.addMenu(QStringLiteral("Mute"));
  muteMenu->setObjectName(QStringLiteral("Mute1"));
  muteMenu->setAccessibleName(QStringLiteral("Mute"));
  muteMenu->setEnabled(items.mute);
  for (const int minutes : client::kMuteMinutes) {
    QAction* item = muteMenu->addAction(QStringLiteral("For %1 Minutes").arg(minutes), &menu,
                                        [mute, minutes] { mute(minutes); });
    item->setObjectName(QStringLiteral("Mute%1").arg(minutes));
  }
  QAction* unmute = menu.addAction(QStringLiteral("Unmute"), &menu, [mute] { mute(0); });
  unmute->setObjectName(QStringLiteral("Unmute1"));
  unmute->setEnabled(items.mute && items.muted);
}

}  // namespace zp::gui
