#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "client/session.h"

class QAction;
class QListWidget;
class QMenu;
class QShowEvent;

namespace zp::windows {

// The spectators at the table, one line "n: name" each; stays above the game's other
// windows while open. Its menu ignores the spectator under the pointer, and on the host's
// copy removes or mutes them.
//
//   spylist.setHooks({[&] { return session.spies(); }, [&](int n) { /* remove player n */ }});
//   spylist.setHostEnabled(session.spyRemoveEnabled());
//   spylist.refresh();  // after a spectator came or went
class Tspylist : public QDialog {
  Q_OBJECT
 public:
  struct Hooks {
    // The lines to show, in order of arrival.
    std::function<std::vector<std::string>()> spies;
    // "Remove From Game" for player number n.
    std::function<void(int number)> kick;
    // The player items for number n (Ignore, and the host's Mute), and what they do.
    std::function<client::SeatMenu(int number)> menu;
    std::function<void(int number)> ignore;
    std::function<void(int number, int minutes)> mute;
  };

  explicit Tspylist(QWidget* parent = nullptr);

  void setHooks(Hooks hooks);
  void refresh();
  // Only the host may remove anybody.
  void setHostEnabled(bool enabled);
  bool hostEnabled() const { return hostEnabled_; }
  // The line under the mouse pointer, -1 over no line.
  int pointed() const { return pointed_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void removeFromGame();
  // The menu's items for the line it opens on.
  void fillMenu();

  Hooks hooks_;
  bool hostEnabled_ = false;
  bool placed_ = false;
  int pointed_ = -1;
  QString menuLine_;  // the line the open menu acts on
  QListWidget* listbox_spys = nullptr;
  QMenu* menu_ = nullptr;
  QAction* removeFromGame_ = nullptr;
};

}  // namespace zp::windows
