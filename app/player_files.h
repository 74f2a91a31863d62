#pragma once

#include <filesystem>

#include "client/profile.h"

// Where a player's files go, the same for every program with windows: the game and the lobby
// share the settings file, so they must choose it alike.
namespace zp::app {

// An installed program (share/zandupelix beside its bin/) keeps each player's files in their
// own data folder, also where it could write its folder (an install in ~/.local, or run by
// root); a program run where it was built keeps them beside it.
bool installedProgram();
// Whether the player's files may go into `path`, the program's folder or a file in it.
bool writableBesideProgram(const std::filesystem::path& path);
// The per-user data folder: ~/.local/share/zandupelix and the like.
std::filesystem::path userDataFolder();
// Where the tally and downloads go: the program's folder while the player's files may go
// there, else the per-user data folder (made when missing).
std::filesystem::path playerRecordsFolder();
// The settings file "qelmlobby.ini" as the game chooses it.
client::ProfileFile playerSettingsFile();

}  // namespace zp::app
