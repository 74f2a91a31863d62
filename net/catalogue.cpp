#include "net/catalogue.h"

#include "net/framing.h"

namespace zp::net {
namespace {

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

}  // namespace

namespace to_server {

std::string logininfo(int n, std::string_view version, std::string_view name) {
  return (Message(cmd::logininfo) << n << version << name).done() + kTerminator;
}
std::string kickhim(int requester, int target) {
  return (Message(cmd::kickhim) << requester << target).endEmpty();
}
std::string chat(int n, std::string_view text) {
  return (Message(cmd::chat) << n << text).done();
}
std::string action(int n, std::string_view text) {
  return (Message(cmd::action) << n << text).done();
}
std::string startgame(const GameOptions& options) {
  return startgameMessage(options);
}
std::string justwatch(int player, int mode) {
  return (Message(cmd::justwatch) << player << mode).done();
}
std::string playerdone(int n, std::span<const CellRef> path) {
  Message m(cmd::playerdone);
  m << n;
  int index = 0;
  for (const CellRef& cell : path) m << ++index << cell.a << cell.b;
  return m.done();
}
std::string direction(int n, int direction) {
  return (Message(cmd::direction) << n << direction).endEmpty();
}
std::string selectletter(int n, int index, int a, int b) {
  return (Message(cmd::selectletter) << n << index << a << b).endEmpty();
}
std::string selectclear(int n) {
  return (Message(cmd::selectclear) << n).endEmpty();
}
std::string clearletter(int n, int index) {
  return (Message(cmd::clearletter) << n << index).endEmpty();
}
std::string shuffle(int n) {
  return (Message(cmd::shuffle) << n).endEmpty();
}
std::string playasound(int n, std::string_view sound) {
  return (Message(cmd::playasound) << n << sound).endEmpty();
}

}  // namespace to_server

namespace to_players {

std::string sendlogininfo(int n) {
  return (Message(cmd::sendlogininfo) << n).done();
}
std::string chat(int n, std::string_view name, std::string_view text) {
  std::string line(name);
  line += " chats: ";
  line += text;
  return (Message(cmd::chat) << n << line).done();
}
std::string action(int n, std::string_view name, std::string_view text) {
  std::string line(name);
  line += ' ';
  line += text;
  return (Message(cmd::action) << n << line).done();
}
std::string newplayerinfo(int n, std::string_view name) {
  return (Message(cmd::newplayerinfo) << n << name).done();
}
std::string havewrongversion(std::string_view name) {
  return (Message(cmd::havewrongversion) << name).done();
}
std::string wrongversion() {
  return Message(cmd::wrongversion).endEmpty();
}
std::string existingplayers(int k, std::string_view name) {
  return (Message(cmd::existingplayers) << k << name).done();
}
std::string playerdisconnected(int n, std::string_view name) {
  return (Message(cmd::playerdisconnected) << n << name).done();
}
std::string startgame(const GameOptions& options) {
  return startgameMessage(options);
}
std::string nextplayer(int n, int shufflesLeft) {
  return (Message(cmd::nextplayer) << n << shufflesLeft).endEmpty();
}
std::string winner(std::string_view name) {
  return (Message(cmd::winner) << name).endEmpty();
}
std::string full() {
  return Message(cmd::full).endEmpty();
}
std::string justwatching(int n, int mode) {
  return (Message(cmd::justwatching) << n << mode).done();
}
std::string theboard(std::span<const int, 49> codes) {
  Message m(cmd::theboard);
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b) m << a << b << codes[static_cast<std::size_t>(a * 7 + b)];
  return m.done();
}
std::string notvalid(int n, std::string_view word) {
  return (Message(cmd::notvalid) << n << word).endEmpty();
}
std::string madeword(int n, std::string_view word, int points, int total, int teamA, int teamB,
                     std::span<const CellRef> path) {
  Message m(cmd::madeword);
  m << n << word << points << total << teamA << teamB;
  for (const CellRef& cell : path) m << cell.a << cell.b;
  return m.done();
}
std::string timeup() {
  return Message(cmd::timeup).endEmpty();
}
std::string gamestats(const GameStats& s) {
  Message m(cmd::gamestats);
  m << s.current << s.playTo << s.seconds << s.countdown << s.team;
  for (const int score : s.scores) m << score;
  return (m << s.teamA << s.teamB).endEmpty();
}
std::string selectletter(int n, int index, int a, int b) {
  return (Message(cmd::selectletter) << n << index << a << b).endEmpty();
}
std::string selectclear(int n) {
  return (Message(cmd::selectclear) << n).endEmpty();
}
std::string moving(int direction) {
  return (Message(cmd::moving) << direction).endEmpty();
}
std::string clearletter(int n, int index) {
  return (Message(cmd::clearletter) << n << index).endEmpty();
}
std::string useshuffle(int n, int shufflesLeft, int countdown) {
  return (Message(cmd::useshuffle) << n << shufflesLeft << countdown).endEmpty();
}
std::string shufflesl(const int (&left)[4]) {
  Message m(cmd::shufflesl);
  for (const int l : left) m << l;
  return m.endEmpty();
}
std::string bonus(int n, int bonus) {
  return (Message(cmd::bonus) << n << bonus).endEmpty();
}
std::string playasound(int n, std::string_view sound) {
  return (Message(cmd::playasound) << n << sound).endEmpty();
}

}  // namespace to_players
}  // namespace zp::net
