#pragma once

#include <QMenu>
#include <functional>

#include "client/session.h"

namespace zp::gui {

// The items every menu about another player carries, in the seat menu and the spy list
// alike: Ignore (checked while ignored), and for the host Mute for a while or Unmute.
void addPlayerItems(QMenu& menu, const client::SeatMenu& items, std::function<void()> ignore,
                    std::function<void(int minutes)> mute);

}  // namespace zp::gui
