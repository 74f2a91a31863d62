#pragma once

#include <QtGlobal>

namespace zp::testing {

// What every test program, and every game or lobby a test starts, runs under.
inline void setTestEnvironment() {
  // The tables tests start answer lobbies on a port of their own, never beside a real game's.
  if (!qEnvironmentVariableIsSet("ZANDUPELIX_DISCOVERY_PORT"))
    qputenv("ZANDUPELIX_DISCOVERY_PORT", "47773");
  // No desktop bus: a window asks it whether a screen reader runs, and an answer or a signal
  // still on its way when a test program ends is left in Qt's bus thread as a leak.
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zandupelix-tests-have-no-bus");
}

}  // namespace zp::testing
