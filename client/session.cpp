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
            chatrecieved(m);
            if (board_.seat(2).name == zp::kComputerName) {
              chat_.tobotalk(seatNames(), [this](int lo, int hi) {
                return std::uniform_int_distribution<int>(lo, hi)(random_);
              });
            }
          })
      .on(cmd::action, to_players::parseChat, [this](const ReceivedChat& m) { chatrecieved(m); })
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
          [this](const PlayerInfo& m) { newplayerinfo(m); })
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
      .on(cmd::playasound, to_players::parsePlayASound,
          [this](const PlayASound& m) { playasound(m); });
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
  if (!host_ && params[2] == "true") return;
  shell_.openLobbyLink();
}

void ClientSession::hostpress() {
  if (auto error = shell_.listen()) {
    box(*error);
    return;
  }
  host_ = true;
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
  if (!dispatching_ && inbox_.empty()) closeWindowOnce();
}

void ClientSession::closeWindowOnce() {
  if (windowClosed_) return;
  windowClosed_ = true;
  shell_.closeWindow();
}

void ClientSession::connectionFailed(int port, std::string_view reason) {
  systemLine("Cannot reach the table at " + connectedTo_ + ", port " + std::to_string(port) + ": " +
             std::string(reason));
}

void ClientSession::Timer1Timer() {
  const auto start = clock_();
  // The chat view lays out a tick's lines once.
  chat_.beginBatch();
  dispatching_ = true;
  do {
    auto message = inbox_.take();
    if (!message) break;
    dispatch(*message);
  } while (clock_() - start < kDispatchBudget);
  dispatching_ = false;
  chat_.endBatch();
  if (peerClosed_ && inbox_.empty()) closeWindowOnce();
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
  send(net::to_server::logininfo({m.n, std::string(zp::kGameVersion), playerName_}));
}

// ---- the roster

std::array<std::string, 4> ClientSession::seatNames() const {
  std::array<std::string, 4> names;
  for (int n = 1; n <= zp::kSeats; ++n) names[n - 1] = board_.seat(n).name;
  return names;
}

void ClientSession::newplayerinfo(const net::PlayerInfo& m) {
  const std::string name = shownName(m.name);
  if (m.n == own_) {
    systemLine("You are Connected.");
    loadinifile();
  } else {
    systemLine(name + " is Connected.");
  }
  if (m.n <= zp::kSeats) {
    board_.seat(m.n).name = name;
    board_.seat(m.n).computer = false;
    board_.seatsChanged();
  } else {
    // One entry per spectator's number: a host repeating a number replaces its entry.
    const std::string number = std::to_string(m.n) + ": ";
    std::erase_if(spies_, [&](const std::string& spy) { return spy.starts_with(number); });
    spies_.push_back(number + name);
    if (spies_.size() > kMaxSpies) spies_.erase(spies_.begin());
    systemLine(m.n == own_ ? std::string("You are spying.") : name + " is spying.");
  }
  playsounds("entered");
}

void ClientSession::playerdisconnected(const net::PlayerInfo& m) {
  if (m.n <= zp::kSeats) {
    board::SeatView& seat = board_.seat(m.n);
    if (!seat.empty()) systemLine(seat.name + " disconnected.");
    // The computer takes seat 2 over on the display; other seats wait for a player.
    seat.computer = m.n == 2;
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
  SeatMenu menu;
  if (!host_ || menuSeat_ == 0) return menu;
  menu.setToJustWatch = menu.unsetJustWatch = true;
  // The host removing itself would close its own table under every player.
  menu.removeFromGame = !board_.seat(menuSeat_).empty() && menuSeat_ != own_;
  return menu;
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
  if (host_ && n >= 1 && n <= zp::kMaxPlayer) send(net::to_server::kickhim({own_, n}));
}

void ClientSession::loadchecklist() {
  std::vector<std::string> others;
  for (int n = 1; n <= zp::kSeats; ++n)
    if (n != own_) others.push_back(board_.seat(n).name);
  tally_.loadchecklist(others);
}

// ---- the chat and the sounds

void ClientSession::chatrecieved(const net::ReceivedChat& m) {
  chat_.chatrecieved(m.n, m.text, m.colour);
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
  send(net::to_server::startgame(
      {playerName_, settings_.Playtoscore, settings_.Creationtime, teamGame_, settings_.Shuffles}));
  saveinifile();
}

}  // namespace zp::client
