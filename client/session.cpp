#include "client/session.h"

#include <algorithm>
#include <cstdio>

#include "client/chat_text.h"
#include "records/tally_table.h"
#include "rules/names.h"

namespace zp::client {
namespace {

constexpr std::string_view kSoloAddress = "127.0.0.1";
constexpr std::string_view kSoloName = "You";

}  // namespace

ClientSession::ClientSession(ClientShell& shell, records::TallyTable& tally, std::uint64_t seed,
                             SteadyClock clock)
    : shell_(shell),
      tally_(tally),
      random_(seed),
      clock_(clock ? std::move(clock)
                   : SteadyClock([] { return std::chrono::steady_clock::now(); })) {
  using namespace net;
  board_.clearall();
  // A finished game refreshes the opponents in the tally first.
  tally_.OnLoadChecklist = [this] { loadchecklist(); };
  commands_
      .on(cmd::sendlogininfo, to_players::parseSendLoginInfo,
          [this](const PlayerNumber& m) { sendloginfo(m); })
      .on(cmd::chat, to_players::parseChat,
          [this](const ReceivedChat& m) {
            if (fromIgnored(m.n)) return;
            chatrecieved(m);
            if (board_.seat(2).name == zp::kComputerName) {
              const bool spoke = chat_.tobotalk(seatNames(), [this](int lo, int hi) {
                return std::uniform_int_distribution<int>(lo, hi)(random_);
              });
              if (spoke && settings_.SpeakChatter) announce(said::chatter(lastChatText()));
            }
          })
      .on(cmd::action, to_players::parseChat,
          [this](const ReceivedChat& m) {
            if (!fromIgnored(m.n)) chatrecieved(m);
          })
      .on(cmd::host, to_players::parseHost, [this](const PlayerNumber& m) { hostis(m); })
      .on(cmd::goodbye, to_players::parseGoodbye,
          [this](const PlayerNumber&) { goodbyeSaid_ = true; })
      .on(cmd::rejointoken, to_players::parseRejoinToken,
          [this](const RejoinToken& m) { rejointoken(m); })
      .on(cmd::away, to_players::parseAway, [this](const Away& m) { away(m); })
      .on(cmd::muted, to_players::parseMuted, [this](const Muted& m) { muted(m); })
      .on(cmd::newplayerinfo, to_players::parsePlayerInfo,
          [this](const PlayerInfo& m) { newplayerinfo(m); })
      .on(cmd::havewrongversion, to_players::parseHaveWrongVersion,
          [this](const NameOnly& m) {
            systemLine(shownName(m.name) + " has a different version of the game then you.");
          })
      .on(cmd::wrongversion, to_players::parseNoFields,
          [this](NoFields) {
            systemLine("You have a differnt version of the game then the host.");
          })
      .on(cmd::existingplayers, to_players::parsePlayerInfo,
          [this](const PlayerInfo& m) {
            // Back after a drop, the players at the table are shown again, not announced.
            newplayerinfo(m, !rejoined_);
          })
      .on(cmd::playerdisconnected, to_players::parsePlayerInfo,
          [this](const PlayerInfo& m) { playerdisconnected(m); })
      .on(cmd::startgame, to_players::parseStartGame,
          [this](const GameOptions& m) { board_.startthegame(m); })
      .on(cmd::nextplayer, to_players::parseNextPlayer,
          [this](const NextPlayer& m) { board_.getnextplayer(m); })
      .on(cmd::winner, to_players::parseWinner, [this](const NameOnly& m) { board_.winner(m); })
      .on(cmd::full, to_players::parseNoFields,
          [this](NoFields) {
            box(kGameIsFull);
            closeWindowOnce();
          })
      .on(cmd::justwatching, to_players::parseJustWatching,
          [this](const WatchMode& m) { justwatching(m); })
      .on(cmd::theboard, to_players::parseTheBoard,
          [this](const TheBoard& m) { board_.theboard(m); })
      .on(cmd::notvalid, to_players::parseNotValid,
          [this](const NotValid& m) { board_.notvalid(m); })
      .on(cmd::madeword, to_players::parseMadeWord,
          [this](const MadeWord& m) { board_.madeword(m); })
      .on(cmd::timeup, to_players::parseNoFields, [this](NoFields) { board_.timeup(); })
      .on(cmd::gamestats, to_players::parseGameStats,
          [this](const GameStats& m) { board_.gamestats(m); })
      .on(cmd::selectletter, to_players::parseSelectLetter,
          [this](const SelectLetter& m) { board_.selectletter(m); })
      .on(cmd::selectclear, to_players::parseSelectClear,
          [this](const PlayerNumber& m) { board_.selectclear(m); })
      .on(cmd::moving, to_players::parseMoving, [this](const Moving& m) { board_.moving(m); })
      .on(cmd::clearletter, to_players::parseClearLetter,
          [this](const ClearLetter& m) { board_.clearletter(m); })
      .on(cmd::useshuffle, to_players::parseUseShuffle,
          [this](const UseShuffle& m) { board_.useshuffle(m); })
      .on(cmd::shufflesl, to_players::parseShufflesLeft,
          [this](const ShufflesLeft& m) { board_.shufflesl(m); })
      .on(cmd::bonus, to_players::parseBonus, [this](const Bonus& m) { board_.bonus(m); })
      .on(cmd::playasound, to_players::parsePlayASound, [this](const PlayASound& m) {
        if (!fromIgnored(m.n)) playasound(m);
      });
}

// ---- start-up and the connection

void ClientSession::processparams(const std::vector<std::string>& params) {
  board_.showStart(false);
  if (params.empty()) {
    systemLine("Loading Solo Game..Please wait.");
    shell_.showLauncher();
    hostAddress_ = kSoloAddress;
    playerName_ = kSoloName;
    hostpress();
    return;
  }
  systemLine("Loading Multi-player Game.. Please Wait.");
  // As typed on the command line: cleaned once here, as the table cleans it at login, so
  // every message carries the name every window shows.
  playerName_ = zp::cleanName(params[0]);
  if (params.size() > 1) hostAddress_ = params[1];
  if (params.size() < 3) return;
  if (params[2] == "true")
    hostpress();
  else
    joinpress();
  // A copy the lobby started keeps a silent link to it, unless the table could not open.
  if (!ownTable_ && params[2] == "true") return;
  shell_.openLobbyLink();
}

void ClientSession::hostpress() {
  if (auto error = shell_.listen()) {
    box(*error);
    return;
  }
  ownTable_ = true;
  connectedTo_ = kSoloAddress;
  shell_.connect(connectedTo_);
  board_.showStart(true);
}

void ClientSession::joinpress() {
  connectedTo_ = hostAddress_;
  shell_.connect(connectedTo_);
}

void ClientSession::bytesReceived(std::string_view bytes) {
  if (closingOurselves_) return;
  if (inbox_.feed(bytes)) return;
  // A server this far ahead of us is broken or hostile; everything it sent is still read,
  // but nothing more.
  std::fprintf(stderr, "zandupelix: %s\n", kTooMuchFromServer.data());
  systemLine(kTooMuchFromServer);
  closingOurselves_ = true;
  shell_.closeConnection();
}

void ClientSession::sockInfo(std::string_view text) {
  // A connection we closed ourselves has said why in the chat; the window stays to show it.
  if (text != kSocketClosed || closingOurselves_) return;
  // What the table said before it closed (a full table, a last line of chat) is handled
  // first; the dispatch closes the window when nothing is left.
  peerClosed_ = true;
  if (!dispatching_ && inbox_.empty()) connectionEnded();
}

void ClientSession::closeWindowOnce() {
  if (windowClosed_) return;
  windowClosed_ = true;
  shell_.closeWindow();
}

void ClientSession::connectionFailed(int port, std::string_view reason) {
  if (reconnecting_) return nextAttempt();
  systemLine("Cannot reach the table at " + connectedTo_ + ", port " + std::to_string(port) + ": " +
             std::string(reason));
}

void ClientSession::Timer1Timer() {
  const auto start = clock_();
  // The chat view lays out a tick's lines once; what is said of them goes most important first.
  chat_.beginBatch();
  announcer_.beginBatch();
  dispatching_ = true;
  do {
    auto message = inbox_.take();
    if (!message) break;
    dispatch(*message);
  } while (clock_() - start < kDispatchBudget);
  dispatching_ = false;
  chat_.endBatch();
  announcer_.endBatch();
  if (peerClosed_ && inbox_.empty()) connectionEnded();
  // The lock counts time, however many messages a tick took and however often it came.
  while (!phrases_.open() && clock_() - phraseStep_ >= kPhraseStep) {
    phrases_.tick();
    phraseStep_ += kPhraseStep;
  }
}

void ClientSession::dispatch(const std::string& message) {
  if (commands_.dispatch(message) == net::Dispatched::kUnreadable) {
    // Escaped: a host must not be able to write lines or colours into the player's terminal.
    std::fprintf(stderr, "zandupelix: dropped a message that does not read: %s\n",
                 net::escapedForLog(message, 200).c_str());
  }
}

void ClientSession::box(std::string_view text) {
  // A line after the box starts a batch of its own.
  chat_.endBatch();
  shell_.messageBox(text);
}

void ClientSession::send(std::string bytes) {
  if (loggedIn_) shell_.send(bytes);
}

void ClientSession::sendloginfo(const net::PlayerNumber& m) {
  own_ = m.n;
  loggedIn_ = true;
  if (reconnecting_) {
    forgetRoster();
    send(net::to_server::rejoin({m.n, std::string(zp::kGameVersion), rejoinToken_, playerName_}));
    return;
  }
  send(net::to_server::logininfo({m.n, std::string(zp::kGameVersion), playerName_}));
}

// ---- coming back after a drop

void ClientSession::connectionEnded() {
  peerClosed_ = false;
  // Our own table, a table that let us go, or one that never gave us a secret (an older
  // table, or one we never logged in to) has nothing to come back to: the window closes.
  if (ownTable_ || goodbyeSaid_ || rejoinToken_.empty() || windowClosed_) {
    closeWindowOnce();
    return;
  }
  // An attempt's connection that ended before we were back: the next one.
  if (reconnecting_) return nextAttempt();
  reconnecting_ = true;
  backInSeat_ = false;
  attempts_ = 0;
  reconnectSince_ = clock_();
  loggedIn_ = false;
  board_.connectionLost();
  systemLine("The connection to the table was lost. Reconnecting...");
  nextAttempt();
}

void ClientSession::nextAttempt() {
  if (clock_() - reconnectSince_ >= kReconnectFor) {
    reconnecting_ = false;
    connectionStatus_ = "Not connected.";
    systemLine("The table could not be reached again. Join it from the lobby when it is back.");
    return;
  }
  const auto wait =
      std::min(std::chrono::seconds(1LL << std::min(attempts_, 3)),
               std::chrono::duration_cast<std::chrono::seconds>(kLongestReconnectWait));
  connectionStatus_ = "Connection lost. Reconnecting in " + std::to_string(wait.count()) + " s...";
  shell_.reconnectIn(wait);
}

void ClientSession::reconnectNow() {
  if (!reconnecting_) return;
  ++attempts_;
  connectionStatus_ =
      "Connection lost. Reconnecting (attempt " + std::to_string(attempts_) + ")...";
  closingOurselves_ = false;
  shell_.connect(connectedTo_);
  shell_.reconnectIn(kReconnectAttemptTime);
}

void ClientSession::stopReconnecting() {
  if (!reconnecting_) return;
  reconnecting_ = false;
  connectionStatus_ = "Not connected.";
  // An attempt under way ends quietly.
  closingOurselves_ = true;
  shell_.closeConnection();
  systemLine(
      "You stopped reconnecting. The table keeps your seat for a while: join it again "
      "from the lobby to sit down in it.");
}

void ClientSession::leaveTable() {
  reconnecting_ = false;
  if (loggedIn_ && !ownTable_ && !goodbyeSaid_) shell_.send(net::to_server::goodbye({own_}));
  goodbyeSaid_ = true;
}

void ClientSession::rejointoken(const net::RejoinToken& m) {
  // Only a rejoin moves us to another record: the table gives the held seat back.
  if (m.n != own_ && !reconnecting_) return;
  own_ = m.n;
  rejoinToken_ = m.token;
}

void ClientSession::away(const net::Away& m) {
  if (m.n == own_ && reconnecting_) {
    backInSeat_ = backInSeat_ || m.seconds == 0;
    return;
  }
  if (m.n < 1 || m.n > zp::kSeats) return;
  board_.seat(m.n).away = m.seconds > 0;
}

void ClientSession::backAtTable() {
  reconnecting_ = false;
  rejoined_ = true;
  connectionStatus_.clear();
  board_.connectionBack();
  systemLine(backInSeat_ ? "You are back in your seat."
                         : "You are back at the table. Your seat was not kept, so you sit where "
                           "there was room.");
}

void ClientSession::setInviteCode(std::string code) {
  if (code == inviteCode_) return;
  const bool hadOne = !inviteCode_.empty();
  inviteCode_ = std::move(code);
  if (!inviteCode_.empty())
    systemLine("Your table's invite code is " + net::inviteCodeText(inviteCode_) +
               ". Friends join with it in the lobby's Join by Code; File > Copy Invite Code "
               "copies it.");
  else if (hadOne)
    systemLine("Your table no longer has an invite code.");
}

void ClientSession::forgetRoster() {
  names_ = {};
  muted_ = {};
  spies_.clear();
  for (int n = 1; n <= zp::kSeats; ++n) {
    board::SeatView& seat = board_.seat(n);
    seat.name = zp::kWaiting;
    seat.computer = seat.eyes = seat.away = false;
  }
}

// ---- the roster

std::array<std::string, 4> ClientSession::seatNames() const {
  std::array<std::string, 4> names;
  for (int n = 1; n <= zp::kSeats; ++n) names[n - 1] = board_.seat(n).name;
  return names;
}

void ClientSession::newplayerinfo(const net::PlayerInfo& m, bool announce) {
  const std::string name = shownName(m.name);
  names_[static_cast<std::size_t>(m.n)] = name;
  muted_[static_cast<std::size_t>(m.n)] = false;
  if (m.n == own_ && reconnecting_) {
    backAtTable();
  } else if (m.n == own_) {
    systemLine("You are Connected.");
    loadinifile();
  } else if (announce) {
    systemLine(name + " is Connected.");
    if (m.n <= zp::kSeats) this->announce(said::arrived(name + " is Connected."));
  }
  if (m.n <= zp::kSeats) {
    board_.seat(m.n).name = name;
    board_.seat(m.n).computer = false;
    board_.seat(m.n).away = false;
    board_.seatsChanged();
  } else {
    // One entry per spectator's number: a host repeating a number replaces its entry.
    const std::string number = std::to_string(m.n) + ": ";
    std::erase_if(spies_, [&](const std::string& spy) { return spy.starts_with(number); });
    spies_.push_back(number + name);
    if (spies_.size() > kMaxSpies) spies_.erase(spies_.begin());
    if (announce) systemLine(m.n == own_ ? std::string("You are spying.") : name + " is spying.");
    if (announce && m.n != own_) this->announce(said::arrived(name + " is spying."));
  }
  if (announce) playsounds("entered");
}

void ClientSession::playerdisconnected(const net::PlayerInfo& m) {
  names_[static_cast<std::size_t>(m.n)].clear();
  muted_[static_cast<std::size_t>(m.n)] = false;
  if (m.n <= zp::kSeats) {
    board::SeatView& seat = board_.seat(m.n);
    if (!seat.empty()) {
      systemLine(seat.name + " disconnected.");
      announce(said::left(seat.name + " disconnected."));
    }
    // The computer takes seat 2 over on the display; other seats wait for a player.
    seat.computer = m.n == 2;
    seat.away = false;
    seat.name = seat.computer ? zp::kComputerName : zp::kWaiting;
    seat.eyes = false;
    board_.seatsChanged();
    return;
  }
  const std::string name = shownName(m.name);
  const std::string entry = std::to_string(m.n) + ": " + name;
  const auto it = std::find(spies_.begin(), spies_.end(), entry);
  if (it == spies_.end()) return;
  systemLine(name + " has left.");
  announce(said::left(name + " has left."));
  spies_.erase(it);
}

void ClientSession::justwatching(const net::WatchMode& m) {
  if (m.n > zp::kSeats) return;
  board::SeatView& seat = board_.seat(m.n);
  const bool watching = m.mode == net::kStartWatching;
  if (m.n == own_) justWatch_ = watching;
  systemLine(seat.name + (watching ? " is just watching" : " is now playing again"));
  seat.eyes = watching;
}

void ClientSession::JustWatch1Click() {
  if (!loggedIn_ || own_ < 1 || own_ > zp::kSeats) return;
  send(net::to_server::justwatch({own_, justWatch_ ? net::kStopWatching : net::kStartWatching}));
}

SeatMenu ClientSession::label_playername1ContextPopup(int seat) {
  menuSeat_ = seat >= 1 && seat <= zp::kSeats ? seat : 0;
  if (menuSeat_ == 0) return {};
  SeatMenu menu = playerMenu(menuSeat_);
  menu.setToJustWatch = menu.unsetJustWatch = isHost();
  // The host removing itself would close its own table under every player.
  menu.removeFromGame = isHost() && !board_.seat(menuSeat_).empty() && menuSeat_ != own_;
  return menu;
}

SeatMenu ClientSession::playerMenu(int n) const {
  SeatMenu menu;
  if (n < 1 || n > zp::kMaxPlayer || n == own_ || names_[static_cast<std::size_t>(n)].empty())
    return menu;
  menu.removeFromGame = isHost();
  menu.ignore = true;
  menu.ignored = ignoring(names_[static_cast<std::size_t>(n)]);
  menu.mute = isHost() && n != hostRecord_;
  menu.muted = muted_[static_cast<std::size_t>(n)];
  return menu;
}

void ClientSession::IgnoreClick() {
  ignore(menuSeat_);
}

void ClientSession::MuteClick(int minutes) {
  mute(menuSeat_, minutes);
}

bool ClientSession::ignoring(std::string_view name) const {
  return std::find(ignored_.begin(), ignored_.end(), name) != ignored_.end();
}

void ClientSession::ignore(int n) {
  if (!playerMenu(n).ignore) return;
  const std::string name = nameOf(n);
  if (auto it = std::find(ignored_.begin(), ignored_.end(), name); it != ignored_.end()) {
    ignored_.erase(it);
    systemLine("You no longer ignore " + name + ".");
  } else {
    ignored_.push_back(name);
    systemLine("You ignore " + name + " now; nothing " + name +
               " writes or sends reaches this window until you stop.");
  }
}

void ClientSession::mute(int n, int minutes) {
  if (!playerMenu(n).mute || minutes < 0 || minutes > net::kMaxMuteMinutes) return;
  send(net::to_server::mute({own_, n, minutes}));
}

bool ClientSession::fromIgnored(int n) const {
  // Our own lines and the table's are never ignored.
  return n >= 1 && n <= zp::kMaxPlayer && n != own_ &&
         !names_[static_cast<std::size_t>(n)].empty() &&
         ignoring(names_[static_cast<std::size_t>(n)]);
}

const std::string& ClientSession::nameOf(int n) const {
  static const std::string none;
  return n >= 1 && n <= zp::kMaxPlayer ? names_[static_cast<std::size_t>(n)] : none;
}

void ClientSession::hostis(const net::PlayerNumber& m) {
  // The host comes right after the players already at the table.
  rejoined_ = false;
  const bool wasHost = isHost();
  const int before = hostRecord_;
  hostRecord_ = m.n;
  const std::string& name = nameOf(m.n);
  if (before != 0 && before != m.n)
    systemLine(m.n == own_ ? std::string("You are the host now, and you start the games.")
                           : name + " is the host now.");
  else if (before == 0 && !ownTable_)
    systemLine(m.n == own_ ? std::string("You are the host, and you start the games.")
                           : name + " is the host.");
  // The new host starts the next game; a host who stops hosting no longer can.
  if (isHost() != wasHost) board_.showStart(isHost() && !board_.gameOn());
}

void ClientSession::muted(const net::Muted& m) {
  const bool on = m.seconds > 0;
  muted_[static_cast<std::size_t>(m.n)] = on;
  const std::string minutes = std::to_string((m.seconds + 59) / 60);
  if (m.n == own_)
    systemLine(on ? "The host has muted you for " + minutes +
                        " minutes; until then nothing you write reaches the table."
                  : std::string("You may chat again."));
  else
    systemLine(nameOf(m.n) + (on ? " is muted for " + minutes + " minutes." : " may chat again."));
}

void ClientSession::SettoJustWatch1Click() {
  if (menuSeat_ != 0) send(net::to_server::justwatch({menuSeat_, net::kStartWatching}));
}

void ClientSession::UnsetJustWatch1Click() {
  if (menuSeat_ != 0) send(net::to_server::justwatch({menuSeat_, net::kStopWatching}));
}

void ClientSession::RemoveFromGame1Click() {
  if (menuSeat_ != 0 && menuSeat_ != own_) kicking(menuSeat_);
}

void ClientSession::kicking(int n) {
  if (isHost() && n >= 1 && n <= zp::kMaxPlayer) send(net::to_server::kickhim({own_, n}));
}

void ClientSession::loadchecklist() {
  std::vector<std::string> others;
  for (int n = 1; n <= zp::kSeats; ++n)
    if (n != own_) others.push_back(board_.seat(n).name);
  tally_.loadchecklist(others);
}

// ---- the chat and the sounds

void ClientSession::chatrecieved(const net::ReceivedChat& m) {
  // The player's own lines were heard while typed.
  if (chat_.chatrecieved(m.n, m.text, m.colour) && m.n != own_)
    announce(said::chatLine(lastChatText()));
}

std::string ClientSession::lastChatText() const {
  if (chat_.paragraphs().empty()) return {};
  // The runs keep the blanks the view lays out around names and smileys; a voice needs one.
  std::string text;
  for (const ChatRun& run : chat_.paragraphs().back().runs) {
    for (char c : run.text) {
      if (c == ' ' && (text.empty() || text.back() == ' ')) continue;
      text += c;
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// ---- speech

void ClientSession::screenReaderRunning(bool on) {
  screenReader_ = on;
  updateSpeech();
}

void ClientSession::SpeakEvents1Click() {
  settings_.SpeakEvents = !settings_.SpeakEvents;
  updateSpeech();
  saveinifile();
}

void ClientSession::SpeakChatter1Click() {
  settings_.SpeakChatter = !settings_.SpeakChatter;
  saveinifile();
}

void ClientSession::sendit() {
  if (auto message = input_.sendit(me())) send(std::move(*message));
}

void ClientSession::b_phrase1Click(int button) {
  if (auto message = phrases_.click(button, me())) {
    phraseStep_ = clock_();
    send(std::move(*message));
  }
}

void ClientSession::wave12Click(int item) {
  if (item < 1 || item > 20 || own_ < 1 || own_ > zp::kSeats) return;
  send(net::to_server::playasound({own_, "wave" + std::to_string(item)}));
}

void ClientSession::playasound(const net::PlayASound& m) {
  if (settings_.ChatterSounds) {
    // One of the twenty chatter sounds, or our alert for a name that is none of them: the
    // name comes from another player and never reaches the sounds by itself.
    std::string name = chatterCaption(m.sound) ? m.sound : std::string("alert");
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    shell_.play(name);
    return;
  }
  if (m.n > zp::kSeats) return;
  if (auto line = chatterSoundLine(board_.seat(m.n).name, m.sound))
    chat_.addlinetochat(m.n, *line, kSystemColour);
}

void ClientSession::playsounds(std::string_view name) {
  if (settings_.Playsounds) shell_.play(name);
}

// ---- the settings

void ClientSession::loadinifile() {
  if (!settingsFile_) return;
  settingsFile_->loadinifile(settings_);
  chat_.setTextSize(settings_.Textsize);
  chatColour_ = colourFromToken(settings_.Textcolor).value_or(clBlack);
  // What is written back is the colour in use, not a token that did not read.
  settings_.Textcolor = colourToToken(chatColour_);
  for (int k = 1; k <= 9; ++k)
    if (!settings_.Phrase[k - 1].empty()) phrases_.setPhrase(k, settings_.Phrase[k - 1]);
  updateSpeech();
  shell_.settingsRead();
  // Where the window went, which is where the settings put it unless they asked for less
  // than its minimum size: a window nobody moves is never written back.
  remembered_ = shell_.windowBounds();
}

void ClientSession::saveinifile(std::optional<Bounds> bounds) {
  if (!settingsWereRead()) return;
  const Bounds b = bounds.value_or(shell_.windowBounds());
  settings_.Left = b.left;
  settings_.Top = b.top;
  settings_.Width = b.width;
  settings_.Height = b.height;
  settings_.Textsize = chat_.styles()[kSystemStyle].size;
  settings_.Textcolor = colourToToken(chatColour_);
  if (auto error = settingsFile_->saveinifile(settings_)) {
    std::fprintf(stderr, "zandupelix: %s\n", error->c_str());
    box(std::string(kUnableToWrite) + settingsFile_->Path().string());
  }
}

void ClientSession::FormClose(Bounds window, int workAreaWidth, int workAreaHeight) {
  if (!settingsWereRead() || window == remembered_) return;
  // A maximised window is stored a little smaller, so it opens inside the screen.
  if (window.width > workAreaWidth) window.width -= 15;
  if (window.height > workAreaHeight) window.height -= 15;
  remembered_ = window;
  saveinifile(window);
}

void ClientSession::PlaySounds1Click() {
  settings_.Playsounds = !settings_.Playsounds;
  saveinifile();
}

void ClientSession::PlayChatterSounds1Click() {
  settings_.ChatterSounds = !settings_.ChatterSounds;
  saveinifile();
}

void ClientSession::PostWordsinChatBox1Click() {
  settings_.Postwordsinchatbox = !settings_.Postwordsinchatbox;
  saveinifile();
}

void ClientSession::setTurnSound(board::TurnSound sound) {
  settings_.Turnsound = sound;
  saveinifile();
}

void ClientSession::setTiles(std::string name) {
  settings_.Tiles = std::move(name);
  saveinifile();
}

void ClientSession::textSize(int size) {
  chat_.setTextSize(size);
  saveinifile();
}

void ClientSession::textColor(Colour colour) {
  chatColour_ = colour;
  saveinifile();
}

void ClientSession::setPhrases(const std::array<std::string, 9>& phrases) {
  for (int k = 1; k <= 9; ++k) phrases_.setPhrase(k, phrases[k - 1]);
  if (!settingsFile_) return;
  if (auto error = settingsFile_->savephrases(phrases))
    box(std::string(kUnableToWrite) + settingsFile_->Path().string());
}

void ClientSession::gameStartArrow(StartField field, bool up) {
  struct Field {
    int* value;
    FieldRange range;
    int step;
  };
  const Field f =
      field == StartField::kPlayTo    ? Field{&settings_.Playtoscore, kPlaytoscoreRange, 50}
      : field == StartField::kSeconds ? Field{&settings_.Creationtime, kCreationtimeRange, 5}
                                      : Field{&settings_.Shuffles, kShufflesRange, 1};
  *f.value = std::clamp(*f.value + (up ? f.step : -f.step), f.range.min, f.range.max);
}

void ClientSession::gamestartStart() {
  // The table plays the computer this window chose; a table that does not know the word
  // plays as it did.
  send(net::to_server::computer({own_, settings_.Computer}));
  send(net::to_server::startgame(
      {playerName_, settings_.Playtoscore, turnSeconds(), teamGame_, settings_.Shuffles}));
  saveinifile();
}

}  // namespace zp::client
