#include "net/catalogue.h"

#include "net/fields.h"
#include "net/framing.h"
#include "net/host_port.h"

namespace zp::net {
namespace {

// ---- building

// Builds "command+field+field...": each argument is appended after a "+".
class Message {
 public:
  explicit Message(std::string_view command) : text_(command) {}
  Message& operator<<(std::string_view field) {
    text_ += '+';
    text_ += field;
    return *this;
  }
  Message& operator<<(int field) { return *this << std::string_view(std::to_string(field)); }
  Message& operator<<(bool flag) { return *this << std::string_view(flag ? "t" : "f"); }
  Message& operator<<(const char* field) { return *this << std::string_view(field); }
  Message& operator<<(Cell cell) { return *this << cell.a << cell.b; }
  // Ends the message with an empty last field, as most messages do.
  std::string endEmpty() { return std::move(*this << "").done(); }
  std::string done() {
    text_ += kTerminator;
    return std::move(text_);
  }

 private:
  std::string text_;
};

std::string startgameMessage(const GameOptions& o) {
  return (Message(cmd::startgame) << std::string_view(o.hostName) << o.playTo << o.seconds << o.team
                                  << o.shuffles)
      .endEmpty();
}
std::string chatMessage(std::string_view command, const ChatLine& m) {
  return (Message(command) << m.n << std::string_view(m.text)).done();
}
std::string selectletterMessage(const SelectLetter& m) {
  return (Message(cmd::selectletter) << m.n << m.index << m.cell).endEmpty();
}
std::string clearletterMessage(const ClearLetter& m) {
  return (Message(cmd::clearletter) << m.n << m.index).endEmpty();
}
std::string playasoundMessage(const PlayASound& m) {
  return (Message(cmd::playasound) << m.n << std::string_view(m.sound)).endEmpty();
}
std::string playerMessage(std::string_view command, const PlayerNumber& m) {
  return (Message(command) << m.n).endEmpty();
}
std::string playerInfoMessage(std::string_view command, const PlayerInfo& m) {
  return (Message(command) << m.n << std::string_view(m.name)).done();
}

// ---- reading

// Reads fields front to back and remembers whether every one read. What follows the last
// field a reader asks for is ignored, as receivers always have.
class Reader {
 public:
  explicit Reader(std::string_view args) : fields_(args) {}

  bool ok() const { return ok_; }
  int number(int lo, int hi) {
    const auto value = fields_.nextInt(lo, hi);
    ok_ = ok_ && value.has_value();
    return value.value_or(0);
  }
  int player() { return number(1, kMaxPlayer); }
  int seat() { return number(1, kSeats); }
  int score() { return number(-kMaxScore, kMaxScore); }
  int slot() { return number(1, zp::kLongestWord); }
  int direction() { return number(board::kDown, board::kRight); }
  Cell cell() {
    const int a = number(0, board::kBoardSize - 1);
    const int b = number(0, board::kBoardSize - 1);
    return Cell{a, b};
  }
  bool flag() {
    const auto field = fields_.next();
    ok_ = ok_ && (field == "t" || field == "f");
    return field == "t";
  }
  // A field that ends at the next "+".
  std::string text() {
    const auto field = fields_.next();
    ok_ = ok_ && field.has_value();
    return std::string(field.value_or(""));
  }
  // The last field: everything not read yet, "+" included.
  std::string rest() {
    ok_ = ok_ && !fields_.atEnd();
    return std::string(fields_.rest());
  }
  bool atEnd() const { return fields_.atEnd(); }
  // Nothing follows but, at most, one empty field.
  bool finished() {
    if (fields_.atEnd()) return true;
    const auto field = fields_.next();
    return field && field->empty() && fields_.atEnd();
  }

 private:
  FieldReader fields_;
  bool ok_ = true;
};

template <typename T>
std::optional<T> result(const Reader& r, T value) {
  if (!r.ok()) return std::nullopt;
  return value;
}

std::optional<GameOptions> readStartGame(std::string_view args) {
  Reader r(args);
  GameOptions m;
  m.hostName = r.text();
  m.playTo = r.number(0, kMaxPlayTo);
  m.seconds = r.number(1, kMaxSeconds);
  m.team = r.flag();
  m.shuffles = r.number(0, kMaxShuffles);
  return result(r, std::move(m));
}
std::optional<ChatLine> readChat(std::string_view args, int lowestPlayer) {
  Reader r(args);
  ChatLine m;
  m.n = r.number(lowestPlayer, kMaxPlayer);
  m.text = r.rest();
  return result(r, std::move(m));
}
std::optional<SelectLetter> readSelectLetter(std::string_view args) {
  Reader r(args);
  SelectLetter m;
  m.n = r.player();
  m.index = r.slot();
  m.cell = r.cell();
  return result(r, m);
}
std::optional<ClearLetter> readClearLetter(std::string_view args) {
  Reader r(args);
  ClearLetter m;
  m.n = r.player();
  m.index = r.slot();
  return result(r, m);
}
std::optional<PlayerNumber> readPlayer(std::string_view args) {
  Reader r(args);
  PlayerNumber m;
  m.n = r.player();
  return result(r, m);
}
std::optional<PlayASound> readPlayASound(std::string_view args) {
  Reader r(args);
  PlayASound m;
  m.n = r.player();
  m.sound = r.text();
  return result(r, std::move(m));
}
std::optional<WatchMode> readWatchMode(std::string_view args) {
  Reader r(args);
  WatchMode m;
  m.n = r.player();
  m.mode = r.number(kStartWatching, kStopWatching);
  return result(r, m);
}

}  // namespace

// ---- client to server

namespace to_server {

std::string logininfo(const LoginInfo& m) {
  return (Message(cmd::logininfo) << m.n << std::string_view(m.version) << std::string_view(m.name))
             .done() +
         kTerminator;
}
std::string kickhim(const KickHim& m) {
  return (Message(cmd::kickhim) << m.requester << m.target).endEmpty();
}
std::string chat(const ChatLine& m) {
  return chatMessage(cmd::chat, m);
}
std::string action(const ChatLine& m) {
  return chatMessage(cmd::action, m);
}
std::string startgame(const GameOptions& m) {
  return startgameMessage(m);
}
std::string justwatch(const WatchMode& m) {
  return (Message(cmd::justwatch) << m.n << m.mode).done();
}
std::string playerdone(const PlayerDone& m) {
  Message message(cmd::playerdone);
  message << m.n;
  int index = 0;
  for (const Cell& cell : m.path) message << ++index << cell;
  return message.done();
}
std::string direction(const DirectionChoice& m) {
  return (Message(cmd::direction) << m.n << m.direction).endEmpty();
}
std::string selectletter(const SelectLetter& m) {
  return selectletterMessage(m);
}
std::string selectclear(const PlayerNumber& m) {
  return playerMessage(cmd::selectclear, m);
}
std::string clearletter(const ClearLetter& m) {
  return clearletterMessage(m);
}
std::string shuffle(const PlayerNumber& m) {
  return playerMessage(cmd::shuffle, m);
}
std::string playasound(const PlayASound& m) {
  return playasoundMessage(m);
}

std::optional<LoginInfo> parseLoginInfo(std::string_view args) {
  Reader r(args);
  LoginInfo m;
  m.n = r.player();
  m.version = r.text();
  // A name may be empty here; the table decides what to make of it.
  if (!r.atEnd()) m.name = r.rest();
  return result(r, std::move(m));
}
std::optional<KickHim> parseKickHim(std::string_view args) {
  Reader r(args);
  KickHim m;
  m.requester = r.player();
  m.target = r.player();
  return result(r, m);
}
std::optional<ChatLine> parseChat(std::string_view args) {
  auto m = readChat(args, 1);
  if (m && m->text.size() > kMaxChatTextBytes) return std::nullopt;
  return m;
}
std::optional<GameOptions> parseStartGame(std::string_view args) {
  return readStartGame(args);
}
std::optional<WatchMode> parseJustWatch(std::string_view args) {
  return readWatchMode(args);
}
std::optional<PlayerDone> parsePlayerDone(std::string_view args) {
  Reader r(args);
  PlayerDone m;
  m.n = r.player();
  // Tile i must carry index i: a path whose indexes skip or repeat is not a path.
  while (r.ok() && !r.atEnd()) {
    const int index = r.slot();
    const Cell cell = r.cell();
    if (index != static_cast<int>(m.path.size()) + 1) return std::nullopt;
    m.path.push_back(cell);
  }
  return result(r, std::move(m));
}
std::optional<DirectionChoice> parseDirection(std::string_view args) {
  Reader r(args);
  DirectionChoice m;
  m.n = r.player();
  m.direction = r.direction();
  return result(r, m);
}
std::optional<SelectLetter> parseSelectLetter(std::string_view args) {
  return readSelectLetter(args);
}
std::optional<PlayerNumber> parseSelectClear(std::string_view args) {
  return readPlayer(args);
}
std::optional<ClearLetter> parseClearLetter(std::string_view args) {
  return readClearLetter(args);
}
std::optional<PlayerNumber> parseShuffle(std::string_view args) {
  return readPlayer(args);
}
std::optional<PlayASound> parsePlayASound(std::string_view args) {
  return readPlayASound(args);
}

}  // namespace to_server

// ---- server to players

namespace to_players {

std::string sendlogininfo(const PlayerNumber& m) {
  return (Message(cmd::sendlogininfo) << m.n).done();
}
std::string chat(const ChatLine& m) {
  return chatMessage(cmd::chat, m);
}
std::string action(const ChatLine& m) {
  return chatMessage(cmd::action, m);
}
std::string newplayerinfo(const PlayerInfo& m) {
  return playerInfoMessage(cmd::newplayerinfo, m);
}
std::string havewrongversion(const NameOnly& m) {
  return (Message(cmd::havewrongversion) << std::string_view(m.name)).done();
}
std::string wrongversion() {
  return Message(cmd::wrongversion).endEmpty();
}
std::string existingplayers(const PlayerInfo& m) {
  return playerInfoMessage(cmd::existingplayers, m);
}
std::string playerdisconnected(const PlayerInfo& m) {
  return playerInfoMessage(cmd::playerdisconnected, m);
}
std::string startgame(const GameOptions& m) {
  return startgameMessage(m);
}
std::string nextplayer(const NextPlayer& m) {
  return (Message(cmd::nextplayer) << m.n << m.shufflesLeft).endEmpty();
}
std::string winner(const NameOnly& m) {
  return (Message(cmd::winner) << std::string_view(m.name)).endEmpty();
}
std::string full() {
  return Message(cmd::full).endEmpty();
}
std::string justwatching(const WatchMode& m) {
  return (Message(cmd::justwatching) << m.n << m.mode).done();
}
std::string theboard(const TheBoard& m) {
  Message message(cmd::theboard);
  for (int a = 0; a < board::kBoardSize; ++a)
    for (int b = 0; b < board::kBoardSize; ++b)
      message << a << b << m.codes[board::cellIndex(a, b)];
  return message.done();
}
std::string notvalid(const NotValid& m) {
  return (Message(cmd::notvalid) << m.n << std::string_view(m.word)).endEmpty();
}
std::string madeword(const MadeWord& m) {
  Message message(cmd::madeword);
  message << m.n << std::string_view(m.word) << m.points << m.total << m.teamA << m.teamB;
  for (const Cell& cell : m.path) message << cell;
  return message.done();
}
std::string timeup() {
  return Message(cmd::timeup).endEmpty();
}
std::string gamestats(const GameStats& m) {
  Message message(cmd::gamestats);
  message << m.current << m.playTo << m.seconds << m.countdown << m.team;
  for (const int score : m.scores) message << score;
  return (message << m.teamA << m.teamB).endEmpty();
}
std::string selectletter(const SelectLetter& m) {
  return selectletterMessage(m);
}
std::string selectclear(const PlayerNumber& m) {
  return playerMessage(cmd::selectclear, m);
}
std::string moving(const Moving& m) {
  return (Message(cmd::moving) << m.direction).endEmpty();
}
std::string clearletter(const ClearLetter& m) {
  return clearletterMessage(m);
}
std::string useshuffle(const UseShuffle& m) {
  return (Message(cmd::useshuffle) << m.n << m.shufflesLeft << m.countdown).endEmpty();
}
std::string shufflesl(const ShufflesLeft& m) {
  Message message(cmd::shufflesl);
  for (const int left : m.left) message << left;
  return message.endEmpty();
}
std::string bonus(const Bonus& m) {
  return (Message(cmd::bonus) << m.n << m.bonus).endEmpty();
}
std::string playasound(const PlayASound& m) {
  return playasoundMessage(m);
}

std::optional<PlayerNumber> parseSendLoginInfo(std::string_view args) {
  return readPlayer(args);
}
std::optional<ReceivedChat> parseChat(std::string_view args) {
  auto line = readChat(args, kTableLine);
  if (!line) return std::nullopt;
  ReceivedChat m{line->n, std::move(line->text), {}};
  if (const std::size_t bar = m.text.rfind('|'); bar != std::string::npos) {
    m.colour = m.text.substr(bar + 1);
    m.text.resize(bar);
  }
  return m;
}
std::optional<PlayerInfo> parsePlayerInfo(std::string_view args) {
  Reader r(args);
  PlayerInfo m;
  m.n = r.player();
  m.name = r.rest();
  return result(r, std::move(m));
}
std::optional<NameOnly> parseHaveWrongVersion(std::string_view args) {
  return NameOnly{std::string(args)};
}
std::optional<NoFields> parseNoFields(std::string_view) {
  return NoFields{};
}
std::optional<GameOptions> parseStartGame(std::string_view args) {
  return readStartGame(args);
}
std::optional<NextPlayer> parseNextPlayer(std::string_view args) {
  Reader r(args);
  NextPlayer m;
  m.n = r.seat();
  m.shufflesLeft = r.number(0, kMaxShuffles);
  return result(r, m);
}
std::optional<NameOnly> parseWinner(std::string_view args) {
  Reader r(args);
  NameOnly m;
  m.name = r.text();
  return result(r, std::move(m));
}
std::optional<WatchMode> parseJustWatching(std::string_view args) {
  return readWatchMode(args);
}
std::optional<TheBoard> parseTheBoard(std::string_view args) {
  // Exactly 49 groups, in the order every board is sent: a board with a cell missing,
  // repeated or extra would leave the player's copy wrong for the rest of the turn.
  Reader r(args);
  TheBoard m;
  for (int a = 0; a < board::kBoardSize; ++a) {
    for (int b = 0; b < board::kBoardSize; ++b) {
      const Cell cell = r.cell();
      const int code = r.number(board::kFirstLetter, kEmptyCode);
      if (!r.ok() || cell != Cell{a, b}) return std::nullopt;
      m.codes[board::cellIndex(a, b)] = code;
    }
  }
  if (!r.finished()) return std::nullopt;
  return m;
}
std::optional<NotValid> parseNotValid(std::string_view args) {
  Reader r(args);
  NotValid m;
  m.n = r.player();
  m.word = r.text();
  return result(r, std::move(m));
}
std::optional<MadeWord> parseMadeWord(std::string_view args) {
  Reader r(args);
  MadeWord m;
  m.n = r.seat();
  m.word = r.text();
  m.points = r.score();
  m.total = r.score();
  m.teamA = r.score();
  m.teamB = r.score();
  while (r.ok() && !r.atEnd()) m.path.push_back(r.cell());
  if (m.path.empty() || m.path.size() > static_cast<std::size_t>(zp::kLongestWord))
    return std::nullopt;
  return result(r, std::move(m));
}
std::optional<GameStats> parseGameStats(std::string_view args) {
  Reader r(args);
  GameStats m;
  m.current = r.number(0, kSeats);
  m.playTo = r.number(0, kMaxPlayTo);
  m.seconds = r.number(1, kMaxSeconds);
  m.countdown = r.score();
  m.team = r.flag();
  for (int& score : m.scores) score = r.score();
  m.teamA = r.score();
  m.teamB = r.score();
  return result(r, m);
}
std::optional<SelectLetter> parseSelectLetter(std::string_view args) {
  return readSelectLetter(args);
}
std::optional<PlayerNumber> parseSelectClear(std::string_view args) {
  return readPlayer(args);
}
std::optional<Moving> parseMoving(std::string_view args) {
  Reader r(args);
  Moving m;
  m.direction = r.direction();
  return result(r, m);
}
std::optional<ClearLetter> parseClearLetter(std::string_view args) {
  return readClearLetter(args);
}
std::optional<UseShuffle> parseUseShuffle(std::string_view args) {
  Reader r(args);
  UseShuffle m;
  m.n = r.seat();
  m.shufflesLeft = r.number(0, kMaxShuffles);
  m.countdown = r.score();
  return result(r, m);
}
std::optional<ShufflesLeft> parseShufflesLeft(std::string_view args) {
  Reader r(args);
  ShufflesLeft m;
  for (int& left : m.left) left = r.number(0, kMaxShuffles);
  return result(r, m);
}
std::optional<Bonus> parseBonus(std::string_view args) {
  Reader r(args);
  Bonus m;
  m.n = r.seat();
  m.bonus = r.score();
  return result(r, m);
}
std::optional<PlayASound> parsePlayASound(std::string_view args) {
  return readPlayASound(args);
}

}  // namespace to_players
}  // namespace zp::net

// ==== Finding tables: what a table holds, and the directory that lists tables ====

#include <arpa/inet.h>

#include <algorithm>

namespace zp::net {
namespace {

// Stands in for a "+" inside a free text: U+FF0B FULLWIDTH PLUS SIGN looks the same.
constexpr std::string_view kPlusStandIn = "\xEF\xBC\x8B";

bool controlByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || byte == 0xFF;
}

// A free text field as the readers accept it.
bool textOk(std::string_view text, std::size_t maxBytes) {
  if (text.size() > maxBytes) return false;
  for (const char c : text)
    if (controlByte(c)) return false;
  return true;
}

bool readText(Reader& r, std::size_t maxBytes, std::string& out) {
  out = r.text();
  return textOk(out, maxBytes);
}

Message& operator<<(Message& message, const TableInfo& m) {
  message << std::string_view(cleanText(m.name, kMaxTableNameBytes))
          << std::string_view(cleanText(m.version, kMaxVersionBytes))
          << (m.playing ? kTablePlaying : kTableWaiting) << m.playTo << m.seconds << m.spectators;
  for (const std::string& seat : m.seats)
    message << std::string_view(cleanText(seat, kMaxSeatNameBytes));
  // Last, so a reader that stops after the seats still reads the rest.
  if (m.computer) message << computerStrengthName(*m.computer);
  if (m.computer && m.visibility) message << std::string_view(*m.visibility);
  return message;
}

bool readTableInfo(Reader& r, TableInfo& m) {
  bool ok = readText(r, kMaxTableNameBytes, m.name);
  ok = readText(r, kMaxVersionBytes, m.version) && ok;
  const std::string state = r.text();
  ok = ok && (state == kTablePlaying || state == kTableWaiting);
  m.playing = state == kTablePlaying;
  m.playTo = r.number(0, kMaxPlayTo);
  m.seconds = r.number(0, kMaxSeconds);
  m.spectators = r.number(0, kMaxSpectators);
  for (std::string& seat : m.seats) ok = readText(r, kMaxSeatNameBytes, seat) && ok;
  // An older table ends here; a newer one may say more, which is left unread.
  m.computer.reset();
  m.visibility.reset();
  if (ok && r.ok() && !r.atEnd()) {
    if (const auto field = r.text(); r.ok()) m.computer = computerStrengthNamed(field);
  }
  // Only the three words: an older reader ignores it, a newer one takes nothing else.
  if (ok && r.ok() && m.computer && !r.atEnd()) {
    Reader ahead = r;  // anything else stays for the caller
    if (const auto field = ahead.text(); ahead.ok() && visibilityNamed(field)) {
      m.visibility = field;
      r = ahead;
    }
  }
  return ok && r.ok();
}

int port(Reader& r) {
  return r.number(1, 65535);
}

bool readAddress(Reader& r, std::string& out) {
  out = r.text();
  return isAddressText(out);
}

}  // namespace

std::string cleanText(std::string_view text, std::size_t maxBytes) {
  std::string out;
  out.reserve(std::min(text.size(), maxBytes));
  for (const char c : text) {
    if (c == '+')
      out += kPlusStandIn;
    else
      out += controlByte(c) ? ' ' : c;
    if (out.size() > maxBytes) break;
  }
  if (out.size() <= maxBytes) return out;
  // Cut before the character that crosses the bound, not inside it: back over the UTF-8
  // continuation bytes to the byte that starts it.
  std::size_t cut = maxBytes;
  while (cut > 0 && maxBytes - cut < 3 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
    --cut;
  out.resize(cut);
  return out;
}

std::string cleanTableName(std::string_view name) {
  std::string out = cleanText(name, kMaxTableNameBytes);
  // Count characters by the bytes that start one.
  int characters = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if ((static_cast<unsigned char>(out[i]) & 0xC0) == 0x80) continue;
    if (++characters > kMaxTableNameChars) {
      out.resize(i);
      break;
    }
  }
  const auto first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

bool isAddressText(std::string_view text) {
  if (text.empty() || text.size() > kMaxAddressBytes) return false;
  const std::string terminated(text);
  unsigned char address[16];
  return ::inet_pton(AF_INET, terminated.c_str(), address) == 1 ||
         ::inet_pton(AF_INET6, terminated.c_str(), address) == 1;
}

namespace to_server {
std::string tableinfo() {
  return Message(cmd::tableinfo).endEmpty();
}
std::optional<NoFields> parseTableInfoRequest(std::string_view) {
  return NoFields{};
}
}  // namespace to_server

namespace to_players {
std::string tableinfo(const TableInfo& m) {
  Message message(cmd::tableinfo);
  return (message << m).endEmpty();
}
std::optional<TableInfo> parseTableInfo(std::string_view args) {
  Reader r(args);
  TableInfo m;
  if (!readTableInfo(r, m)) return std::nullopt;
  return m;
}
}  // namespace to_players

namespace to_directory {
std::string registertable(const TableRegistration& m) {
  Message message(cmd::registertable);
  message << m.port;
  return (message << m.info).endEmpty();
}
std::string withdrawtable(const TablePort& m) {
  return (Message(cmd::withdrawtable) << m.port).endEmpty();
}
std::string tablelist() {
  return Message(cmd::tablelist).endEmpty();
}

std::optional<TableRegistration> parseRegisterTable(std::string_view args) {
  Reader r(args);
  TableRegistration m;
  m.port = port(r);
  if (!readTableInfo(r, m.info)) return std::nullopt;
  return m;
}
std::optional<TablePort> parseWithdrawTable(std::string_view args) {
  Reader r(args);
  TablePort m;
  m.port = port(r);
  return result(r, m);
}
std::optional<NoFields> parseTableList(std::string_view) {
  return NoFields{};
}
}  // namespace to_directory

namespace from_directory {
std::string registered(const TableAddress& m) {
  return (Message(cmd::registered) << std::string_view(m.address) << m.port).endEmpty();
}
std::string refused(const Refusal& m) {
  return (Message(cmd::refused) << m.port << std::string_view(cleanText(m.reason, kMaxReasonBytes)))
      .endEmpty();
}
std::string listedtable(const ListedTable& m) {
  Message message(cmd::listedtable);
  message << std::string_view(m.address) << m.port;
  return (message << m.info).endEmpty();
}
std::string tablelistend(const TableCount& m) {
  return (Message(cmd::tablelistend) << m.count).endEmpty();
}

std::optional<TableAddress> parseRegistered(std::string_view args) {
  Reader r(args);
  TableAddress m;
  const bool ok = readAddress(r, m.address);
  m.port = port(r);
  if (!ok) return std::nullopt;
  return result(r, std::move(m));
}
std::optional<Refusal> parseRefused(std::string_view args) {
  Reader r(args);
  Refusal m;
  m.port = r.number(0, 65535);
  if (!readText(r, kMaxReasonBytes, m.reason)) return std::nullopt;
  return result(r, std::move(m));
}
std::optional<ListedTable> parseListedTable(std::string_view args) {
  Reader r(args);
  ListedTable m;
  const bool ok = readAddress(r, m.address);
  m.port = port(r);
  if (!readTableInfo(r, m.info) || !ok) return std::nullopt;
  return m;
}
std::optional<TableCount> parseTableListEnd(std::string_view args) {
  Reader r(args);
  TableCount m;
  m.count = r.number(0, kMaxListedTables);
  return result(r, m);
}
}  // namespace from_directory

}  // namespace zp::net

// ==== Keeping order at a table ====

namespace zp::net {

namespace to_server {
std::string computer(const ComputerChoice& m) {
  return (Message(cmd::computer) << m.n << computerStrengthName(m.strength)).endEmpty();
}
std::string mute(const MuteRequest& m) {
  return (Message(cmd::mute) << m.requester << m.target << m.minutes).endEmpty();
}
std::optional<ComputerChoice> parseComputer(std::string_view args) {
  Reader r(args);
  ComputerChoice m;
  m.n = r.player();
  const auto strength = computerStrengthNamed(r.text());
  if (!strength || !r.finished()) return std::nullopt;
  m.strength = *strength;
  return result(r, m);
}
std::optional<MuteRequest> parseMute(std::string_view args) {
  Reader r(args);
  MuteRequest m;
  m.requester = r.player();
  m.target = r.player();
  m.minutes = r.number(0, kMaxMuteMinutes);
  return result(r, m);
}
}  // namespace to_server

namespace to_players {
std::string host(const PlayerNumber& m) {
  return (Message(cmd::host) << m.n).endEmpty();
}
std::string muted(const Muted& m) {
  return (Message(cmd::muted) << m.n << m.seconds).endEmpty();
}
std::optional<PlayerNumber> parseHost(std::string_view args) {
  return readPlayer(args);
}
std::optional<Muted> parseMuted(std::string_view args) {
  Reader r(args);
  Muted m;
  m.n = r.player();
  m.seconds = r.number(0, kMaxMuteMinutes * 60);
  return result(r, m);
}
}  // namespace to_players

}  // namespace zp::net

// ==== Tables on the local network ====

#include "net/dispatch.h"

namespace zp::net {
namespace {

constexpr char kQueryPadding = '.';

// The message inside one datagram: its command word and argument text, when the datagram is
// one whole message.
std::optional<SplitMessage> wholeMessage(std::string_view datagram, std::string_view command) {
  if (datagram.empty() || datagram.back() != kTerminator) return std::nullopt;
  datagram.remove_suffix(1);
  if (datagram.find(kTerminator) != std::string_view::npos) return std::nullopt;
  const SplitMessage split = splitMessage(datagram);
  if (split.command != command) return std::nullopt;
  return split;
}

}  // namespace

namespace local_network {

bool isToken(std::string_view text) {
  return text.size() == kLocalTokenChars && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

std::string tokenText(std::uint64_t value) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(kLocalTokenChars, '0');
  for (std::size_t i = kLocalTokenChars; i-- > 0; value >>= 4) text[i] = kHex[value & 0xF];
  return text;
}

std::string findtables(const TableQuery& m) {
  std::string datagram = (Message(cmd::findtables) << std::string_view(m.token) << "").done();
  if (datagram.size() < kLocalQueryBytes)
    datagram.insert(datagram.size() - 1, kLocalQueryBytes - datagram.size(), kQueryPadding);
  return datagram;
}

std::string foundtable(const FoundTable& m) {
  Message message(cmd::foundtable);
  message << std::string_view(m.token) << std::string_view(m.table) << m.port;
  return (message << m.info).endEmpty();
}

std::optional<TableQuery> parseFindTables(std::string_view datagram) {
  if (datagram.size() != kLocalQueryBytes) return std::nullopt;
  const auto split = wholeMessage(datagram, cmd::findtables);
  if (!split) return std::nullopt;
  Reader r(split->args);
  TableQuery m;
  m.token = r.text();
  const std::string padding = r.rest();
  if (!r.ok() || !isToken(m.token) || padding.empty() ||
      padding.find_first_not_of(kQueryPadding) != std::string::npos)
    return std::nullopt;
  return m;
}

std::optional<FoundTable> parseFoundTable(std::string_view datagram) {
  if (datagram.size() > kLocalQueryBytes) return std::nullopt;
  const auto split = wholeMessage(datagram, cmd::foundtable);
  if (!split) return std::nullopt;
  Reader r(split->args);
  FoundTable m;
  m.token = r.text();
  m.table = r.text();
  m.port = port(r);
  if (!readTableInfo(r, m.info) || !isToken(m.token) || !isToken(m.table) || !r.finished())
    return std::nullopt;
  return m;
}

}  // namespace local_network
}  // namespace zp::net

// ==== Coming back after a dropped connection ====

namespace zp::net {

bool isRejoinToken(std::string_view text) {
  return text.size() == kRejoinTokenChars && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

namespace to_server {
std::string goodbye(const PlayerNumber& m) {
  return playerMessage(cmd::goodbye, m);
}
std::string rejoin(const Rejoin& m) {
  return (Message(cmd::rejoin) << m.n << std::string_view(m.version) << std::string_view(m.token)
                               << std::string_view(m.name))
      .done();
}
std::optional<PlayerNumber> parseGoodbye(std::string_view args) {
  return readPlayer(args);
}
std::optional<Rejoin> parseRejoin(std::string_view args) {
  Reader r(args);
  Rejoin m;
  m.n = r.player();
  m.version = r.text();
  m.token = r.text();
  // The name is the last field, as in CMD_logininfo, and may be empty there too.
  if (!r.atEnd()) m.name = r.rest();
  if (!isRejoinToken(m.token)) return std::nullopt;
  return result(r, std::move(m));
}
}  // namespace to_server

namespace to_players {
std::string goodbye(const PlayerNumber& m) {
  return playerMessage(cmd::goodbye, m);
}
std::optional<PlayerNumber> parseGoodbye(std::string_view args) {
  return readPlayer(args);
}
std::string rejointoken(const RejoinToken& m) {
  return (Message(cmd::rejointoken) << m.n << std::string_view(m.token)).endEmpty();
}
std::string away(const Away& m) {
  return (Message(cmd::away) << m.n << m.seconds).endEmpty();
}
std::optional<RejoinToken> parseRejoinToken(std::string_view args) {
  Reader r(args);
  RejoinToken m;
  m.n = r.player();
  m.token = r.text();
  if (!isRejoinToken(m.token)) return std::nullopt;
  return result(r, std::move(m));
}
std::optional<Away> parseAway(std::string_view args) {
  Reader r(args);
  Away m;
  m.n = r.player();
  m.seconds = r.number(0, kMaxGraceSeconds);
  return result(r, m);
}
}  // namespace to_players

}  // namespace zp::net

// ==== Reaching a table from outside ====

namespace zp::net {
namespace {

constexpr std::array<std::string_view, 4> kReachNames = {"checking", "direct", "relayed",
                                                         "unreachable"};
constexpr std::array<std::string_view, 3> kVisibilityNames = {"public", "invite", "local"};

template <typename E, std::size_t N>
std::optional<E> named(const std::array<std::string_view, N>& names, std::string_view name) {
  for (std::size_t i = 0; i < N; ++i)
    if (names[i] == name) return static_cast<E>(i);
  return std::nullopt;
}

// A code as it travels: exactly as inviteCodeFrom() writes it.
bool isInviteCode(std::string_view text) {
  return text.size() == kInviteCodeChars && std::all_of(text.begin(), text.end(), [](char c) {
           return kInviteAlphabet.find(c) != std::string_view::npos;
         });
}

// An empty host, or an address or name that can be written back in a host field.
bool readHost(Reader& r, std::string& out) {
  out = r.text();
  if (out.empty() || isAddressText(out)) return true;
  return textOk(out, kMaxAddressBytes) && out.find_first_of(" []/@") == std::string::npos;
}

}  // namespace

std::string_view reachName(Reach reach) {
  return kReachNames[static_cast<std::size_t>(reach)];
}
std::optional<Reach> reachNamed(std::string_view name) {
  return named<Reach>(kReachNames, name);
}
std::string_view visibilityName(Visibility visibility) {
  return kVisibilityNames[static_cast<std::size_t>(visibility)];
}
std::optional<Visibility> visibilityNamed(std::string_view name) {
  return named<Visibility>(kVisibilityNames, name);
}

std::optional<std::string> inviteCodeFrom(std::string_view text) {
  std::string code;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    // One dash, between the halves, as the code is shown.
    if (c == '-' && i == 3 && code.size() == 3) continue;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    code += c;
    if (code.size() > kInviteCodeChars) return std::nullopt;
  }
  if (!isInviteCode(code)) return std::nullopt;
  return code;
}

std::string inviteCodeText(std::string_view code) {
  if (code.size() != kInviteCodeChars) return std::string(code);
  return std::string(code.substr(0, 3)) + "-" + std::string(code.substr(3));
}

std::string inviteCodeFromNumber(std::uint64_t randomBits) {
  std::string code;
  for (std::size_t i = 0; i < kInviteCodeChars; ++i) {
    code += kInviteAlphabet[randomBits % kInviteAlphabet.size()];
    randomBits /= kInviteAlphabet.size();
  }
  return code;
}

std::optional<InviteAddress> parseInviteAddress(std::string_view text) {
  const std::size_t at = text.find('@');
  if (at == std::string_view::npos) return std::nullopt;
  const auto code = inviteCodeFrom(text.substr(0, at));
  const auto directory = parseHostPort(text.substr(at + 1), kDirectoryPort);
  if (!code || !directory || directory->host.empty()) return std::nullopt;
  return InviteAddress{*code, directory->host, directory->port};
}

namespace to_directory {
std::string reachme(const ReachRequest& m) {
  return (Message(cmd::reachme) << m.port << visibilityName(m.visibility)).endEmpty();
}
std::string findcode(const InviteCode& m) {
  return (Message(cmd::findcode) << std::string_view(m.code)).endEmpty();
}
std::optional<ReachRequest> parseReachMe(std::string_view args) {
  Reader r(args);
  ReachRequest m;
  m.port = port(r);
  const auto visibility = visibilityNamed(r.text());
  // A local table registers nowhere.
  if (!visibility || *visibility == Visibility::kLocal) return std::nullopt;
  m.visibility = *visibility;
  return result(r, m);
}
std::optional<InviteCode> parseFindCode(std::string_view args) {
  Reader r(args);
  InviteCode m{r.text()};
  if (!isInviteCode(m.code)) return std::nullopt;
  return result(r, std::move(m));
}
}  // namespace to_directory

namespace from_directory {
std::string reach(const ReachState& m) {
  return (Message(cmd::reach) << m.port << reachName(m.reach) << std::string_view(m.code))
      .endEmpty();
}
std::string relayopen(const RelayOpen& m) {
  return (Message(cmd::relayopen) << m.port << m.relayPort << std::string_view(m.ticket))
      .endEmpty();
}
std::string relayedtable(const RelayedTable& m) {
  Message message(cmd::relayedtable);
  message << std::string_view(m.relayHost) << m.relayPort << std::string_view(m.code);
  return (message << m.info).endEmpty();
}
std::string codeat(const CodeAt& m) {
  return (Message(cmd::codeat) << std::string_view(m.code) << reachName(m.reach)
                               << std::string_view(m.host) << m.port)
      .endEmpty();
}
std::optional<ReachState> parseReach(std::string_view args) {
  Reader r(args);
  ReachState m;
  m.port = port(r);
  const auto reach = reachNamed(r.text());
  m.code = r.text();
  if (!reach || (!m.code.empty() && !isInviteCode(m.code))) return std::nullopt;
  m.reach = *reach;
  return result(r, std::move(m));
}
std::optional<RelayOpen> parseRelayOpen(std::string_view args) {
  Reader r(args);
  RelayOpen m;
  m.port = port(r);
  m.relayPort = port(r);
  m.ticket = r.text();
  if (!local_network::isToken(m.ticket)) return std::nullopt;
  return result(r, std::move(m));
}
std::optional<RelayedTable> parseRelayedTable(std::string_view args) {
  Reader r(args);
  RelayedTable m;
  bool ok = readHost(r, m.relayHost);
  m.relayPort = port(r);
  m.code = r.text();
  ok = isInviteCode(m.code) && ok;
  if (!readTableInfo(r, m.info) || !ok) return std::nullopt;
  return m;
}
std::optional<CodeAt> parseCodeAt(std::string_view args) {
  Reader r(args);
  CodeAt m;
  m.code = r.text();
  const auto reach = reachNamed(r.text());
  bool ok = readHost(r, m.host);
  m.port = port(r);
  ok = ok && isInviteCode(m.code) && reach &&
       (*reach == Reach::kRelayed || (*reach == Reach::kDirect && isAddressText(m.host)));
  if (!ok) return std::nullopt;
  m.reach = *reach;
  return result(r, std::move(m));
}
}  // namespace from_directory

namespace to_relay {
std::string relayjoin(const InviteCode& m) {
  return (Message(cmd::relayjoin) << std::string_view(m.code)).endEmpty();
}
std::string relayback(const RelayTicket& m) {
  return (Message(cmd::relayback) << std::string_view(m.ticket)).endEmpty();
}
std::optional<InviteCode> parseRelayJoin(std::string_view args) {
  Reader r(args);
  InviteCode m{r.text()};
  if (!isInviteCode(m.code)) return std::nullopt;
  return result(r, std::move(m));
}
std::optional<RelayTicket> parseRelayBack(std::string_view args) {
  Reader r(args);
  RelayTicket m{r.text()};
  if (!local_network::isToken(m.ticket)) return std::nullopt;
  return result(r, std::move(m));
}
}  // namespace to_relay

namespace from_relay {
std::string relayed() {
  return Message(cmd::relayed).endEmpty();
}
std::string relayrefused(const RelayRefusal& m) {
  return (Message(cmd::relayrefused) << std::string_view(cleanText(m.reason, kMaxReasonBytes)))
      .endEmpty();
}
std::optional<NoFields> parseRelayed(std::string_view) {
  return NoFields{};
}
std::optional<RelayRefusal> parseRelayRefused(std::string_view args) {
  Reader r(args);
  RelayRefusal m;
  if (!readText(r, kMaxReasonBytes, m.reason)) return std::nullopt;
  return result(r, std::move(m));
}
}  // namespace from_relay

namespace from_lobby {
std::string invitecode(const InviteCode& m) {
  return (Message(cmd::invitecode) << std::string_view(m.code)).endEmpty();
}
std::optional<InviteCode> parseInviteCode(std::string_view args) {
  Reader r(args);
  InviteCode m{r.text()};
  if (!m.code.empty() && !isInviteCode(m.code)) return std::nullopt;
  return result(r, std::move(m));
}
}  // namespace from_lobby

}  // namespace zp::net
