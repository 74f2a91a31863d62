#pragma once

#include <QObject>
#include <functional>

// SIGINT and SIGTERM reach the event loop as a call of `quit`, so a program stopped from
// the terminal or by its service manager ends normally and removes its scratch files.
// A closed stdout (SIGPIPE) is ignored for the same reason.
void onQuitSignals(QObject* context, std::function<void()> quit);
