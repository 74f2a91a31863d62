#include "app/wiring.h"

#include <algorithm>
#include <cstdio>

namespace zp::app {

std::optional<std::string> ServerTableHost::listen(quint16& port) {
  if (!server_) {
    built_ = std::make_unique<server::TServer>(options_);
    server_ = built_.get();
  }
  if (!server_->dictionaryOpen()) {
    // A table without its word list would turn every word away.
    return "The word list could not be written: " + server_->dictionaryFailure();
  }
  if (server_->listen(port)) {
    port = server_->port();
    if (networkPort_ != 0 && !responder_) {
      responder_ = std::make_unique<server::NetworkResponder>(*server_);
      // The table plays on without being found: players can still join it by address.
      if (!responder_->start(networkPort_))
        std::fprintf(stderr,
                     "zandupelix: port %u (UDP): %s; lobbies on this network do not find the table "
                     "by themselves\n",
                     unsigned{networkPort_}, responder_->errorString().toLocal8Bit().constData());
    }
    return std::nullopt;
  }
  return server_->errorString().toStdString() +
         "\n\nAnother copy of Zandu Pelix may already be hosting a table on this machine (port " +
         std::to_string(port) + ": " + server_->systemError().toStdString() + ").";
}

void ServerTableHost::setComputerStrength(ComputerStrength strength) {
  if (server_)
    server_->setComputerStrength(strength);
  else
    options_.computer = strength;
}

void ServerTableHost::advertise(int playTo, int seconds, ComputerStrength strength) {
  setComputerStrength(strength);
  if (server_) server_->setAdvertisedOptions(playTo, seconds);
}

void wireGameStart(client::Tchat& chat, windows::Tgamestart& gameStart, client::TableHost* table) {
  client::ClientSession& session = chat.session();
  gameStart.setHooks({
      [&session](windows::Tgamestart::Field field, bool up) {
        session.gameStartArrow(static_cast<client::ClientSession::StartField>(field), up);
      },
      [&session, table](bool team, int computer) {
        const auto index = static_cast<std::size_t>(std::clamp(computer, 0, 3));
        session.setComputer(kComputerStrengths[index]);
        if (table) table->setComputerStrength(kComputerStrengths[index]);
        session.setTeamGame(team);
        session.gamestartStart();
      },
      [&session] {
        const client::ClientSettings& s = session.settings();
        return std::array<int, 3>{s.Playtoscore, s.Creationtime, s.Shuffles};
      },
      [&session] { return static_cast<int>(session.settings().Computer); },
      [&session] { return session.settings().Unhurried; },
      [&session](bool on) { session.setUnhurried(on); },
  });
}

void wire(client::Tchat& chat, client::TableHost& table, Ports ports, SideWindows& windows) {
  client::ClientSession& session = chat.session();
  windows.spyList.setHooks({[&session] { return session.spies(); },
                            [&session](int n) { session.kicking(n); },
                            [&session](int n) { return session.playerMenu(n); },
                            [&session](int n) { session.ignore(n); },
                            [&session](int n, int minutes) { session.mute(n, minutes); }});
  windows.phrases.setHooks(
      {[&session] {
         windows::Tphrases::Phrases current;
         for (int k = 1; k <= 9; ++k) current[k - 1] = session.phrases().phrase(k);
         return current;
       },
       [&session](const windows::Tphrases::Phrases& edited) { session.setPhrases(edited); }});
  windows::Tabout& about = windows.about;
  windows.help.setShowAbout([&about] {
    about.show();
    about.raise();
  });
  windows.launcher.setHooks({{}, [&chat] { chat.close(); }, {}});
  wireGameStart(chat, windows.gameStart, &table);

  client::TchatParts parts;
  parts.table = &table;
  parts.about = &windows.about;
  parts.launcher = &windows.launcher;
  parts.spyList = &windows.spyList;
  parts.phraseEditor = &windows.phrases;
  parts.help = &windows.help;
  parts.tallyList = &windows.tallyList;
  parts.gameStart = &windows.gameStart;
  parts.port = ports.game;
  parts.portFixed = ports.gameFixed;
  parts.lobbyPort = ports.lobby;
  parts.lobbyToken = ports.lobbyToken;
  windows::Tspylist& spyList = windows.spyList;
  windows::Ttallylist& tallyList = windows.tallyList;
  parts.refreshed = [&session, &spyList, &tallyList] {
    spyList.setHostEnabled(session.spyRemoveEnabled());
    if (spyList.isVisible()) spyList.refresh();
    if (tallyList.isVisible()) tallyList.refresh();
  };
  chat.setParts(parts);
}

}  // namespace zp::app
