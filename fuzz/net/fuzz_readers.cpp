// Feeds arbitrary argument text to every reader of the catalogue. Whatever reads must hold
// only values in range, and must build back into a message that reads the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/catalogue.h"

namespace {

using namespace zp;
using namespace zp::net;
using zp::kEmptyCode;
using zp::kMaxPlayer;
using zp::kSeats;

void check(bool ok) {
  if (!ok) __builtin_trap();
}

bool cellOk(Cell c) {
  return zp::board::onBoard(c);
}

bool textOk(const std::string& text, std::size_t maxBytes) {
  if (text.size() > maxBytes || text.find('+') != std::string::npos) return false;
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F' || c == '\xFF') return false;
  return true;
}

bool tableInfoOk(const TableInfo& m) {
  bool ok = textOk(m.name, kMaxTableNameBytes) && textOk(m.version, kMaxVersionBytes) &&
            m.playTo >= 0 && m.seconds >= 0 && m.spectators >= 0 && m.spectators <= kMaxSpectators;
  for (const std::string& seat : m.seats) ok = ok && textOk(seat, kMaxSeatNameBytes);
  return ok && (!m.visibility || (m.computer && visibilityNamed(*m.visibility)));
}

// Builds the message again and reads its argument text back.
template <typename Message, typename Build>
void rebuilds(const Message& m, Build build, std::optional<Message> (*read)(std::string_view)) {
  const std::string bytes = build(m);
  const std::string_view text(bytes.data(), bytes.find('\xFF'));
  const auto back = read(text.substr(text.find('+') + 1));
  check(back.has_value() && *back == m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The framing never hands a reader a terminator.
  std::string_view args(reinterpret_cast<const char*>(data), size);
  args = args.substr(0, args.find('\xFF'));

  if (auto m = to_server::parseLoginInfo(args)) check(m->n >= 1 && m->n <= kMaxPlayer);
  if (auto m = to_server::parseKickHim(args))
    rebuilds(*m, to_server::kickhim, to_server::parseKickHim);
  if (auto m = to_server::parseChat(args)) {
    check(m->text.size() <= kMaxChatTextBytes);
    rebuilds(*m, to_server::chat, to_server::parseChat);
  }
  if (auto m = to_server::parseStartGame(args))
    check(m->seconds >= 1 && m->shuffles >= 0 && m->shuffles <= kMaxShuffles);
  if (auto m = to_server::parseJustWatch(args))
    rebuilds(*m, to_server::justwatch, to_server::parseJustWatch);
  if (auto m = to_server::parsePlayerDone(args)) {
    check(m->path.size() <= 7);
    for (Cell c : m->path) check(cellOk(c));
    rebuilds(*m, to_server::playerdone, to_server::parsePlayerDone);
  }
  if (auto m = to_server::parseDirection(args)) check(m->direction >= 1 && m->direction <= 4);
  if (auto m = to_server::parseSelectLetter(args)) {
    check(cellOk(m->cell) && m->index >= 1 && m->index <= 7);
    rebuilds(*m, to_server::selectletter, to_server::parseSelectLetter);
  }
  if (auto m = to_server::parseClearLetter(args)) check(m->index >= 1 && m->index <= 7);
  if (auto m = to_server::parseSelectClear(args)) check(m->n >= 1 && m->n <= kMaxPlayer);
  if (auto m = to_server::parseShuffle(args)) check(m->n >= 1 && m->n <= kMaxPlayer);
  if (auto m = to_server::parsePlayASound(args))
    rebuilds(*m, to_server::playasound, to_server::parsePlayASound);

  if (auto m = to_players::parseSendLoginInfo(args)) check(m->n >= 1 && m->n <= kMaxPlayer);
  if (auto m = to_players::parseChat(args))
    check(m->n >= kTableLine && m->n <= kMaxPlayer && m->colour.find('|') == std::string::npos);
  if (auto m = to_players::parsePlayerInfo(args))
    rebuilds(*m, to_players::newplayerinfo, to_players::parsePlayerInfo);
  (void)to_players::parseHaveWrongVersion(args);
  (void)to_players::parseNoFields(args);
  if (auto m = to_players::parseStartGame(args))
    rebuilds(*m, to_players::startgame, to_players::parseStartGame);
  if (auto m = to_players::parseNextPlayer(args)) check(m->n >= 1 && m->n <= kSeats);
  if (auto m = to_players::parseWinner(args)) check(m->name.find('+') == std::string::npos);
  if (auto m = to_players::parseJustWatching(args)) check(m->mode == 1 || m->mode == 2);
  if (auto m = to_players::parseTheBoard(args)) {
    for (int code : m->codes) check(code >= 1 && code <= kEmptyCode);
    rebuilds(*m, to_players::theboard, to_players::parseTheBoard);
  }
  if (auto m = to_players::parseNotValid(args)) check(m->n >= 1 && m->n <= kMaxPlayer);
  if (auto m = to_players::parseMadeWord(args)) {
    check(!m->path.empty() && m->path.size() <= 7 && m->n >= 1 && m->n <= kSeats);
    for (Cell c : m->path) check(cellOk(c));
  }
  if (auto m = to_players::parseGameStats(args)) {
    check(m->current >= 0 && m->current <= kSeats);
    rebuilds(*m, to_players::gamestats, to_players::parseGameStats);
  }
  if (auto m = to_players::parseSelectLetter(args)) check(cellOk(m->cell));
  if (auto m = to_players::parseSelectClear(args)) check(m->n >= 1);
  if (auto m = to_players::parseMoving(args)) check(m->direction >= 1 && m->direction <= 4);
  if (auto m = to_players::parseClearLetter(args)) check(m->index >= 1 && m->index <= 7);
  if (auto m = to_players::parseUseShuffle(args))
    rebuilds(*m, to_players::useshuffle, to_players::parseUseShuffle);
  if (auto m = to_players::parseShufflesLeft(args))
    for (int left : m->left) check(left >= 0 && left <= kMaxShuffles);
  if (auto m = to_players::parseBonus(args)) check(m->n >= 1 && m->n <= kSeats);
  if (auto m = to_players::parsePlayASound(args)) check(m->sound.find('+') == std::string::npos);

  // Finding tables.
  if (auto m = to_players::parseTableInfo(args)) {
    check(tableInfoOk(*m));
    rebuilds(*m, to_players::tableinfo, to_players::parseTableInfo);
  }
  if (auto m = to_directory::parseRegisterTable(args)) {
    check(m->port >= 1 && m->port <= 65535 && tableInfoOk(m->info));
    rebuilds(*m, to_directory::registertable, to_directory::parseRegisterTable);
  }
  if (auto m = to_directory::parseWithdrawTable(args))
    rebuilds(*m, to_directory::withdrawtable, to_directory::parseWithdrawTable);
  if (auto m = from_directory::parseRegistered(args)) {
    check(isAddressText(m->address));
    rebuilds(*m, from_directory::registered, from_directory::parseRegistered);
  }
  if (auto m = from_directory::parseRefused(args)) {
    check(textOk(m->reason, kMaxReasonBytes));
    rebuilds(*m, from_directory::refused, from_directory::parseRefused);
  }
  if (auto m = from_directory::parseListedTable(args)) {
    check(isAddressText(m->address) && m->address.size() <= kMaxAddressBytes &&
          tableInfoOk(m->info));
    rebuilds(*m, from_directory::listedtable, from_directory::parseListedTable);
  }
  if (auto m = from_directory::parseTableListEnd(args))
    rebuilds(*m, from_directory::tablelistend, from_directory::parseTableListEnd);
  // Reaching a table from outside.
  if (auto m = to_directory::parseReachMe(args)) {
    check(m->visibility != Visibility::kLocal);
    rebuilds(*m, to_directory::reachme, to_directory::parseReachMe);
  }
  if (auto m = to_directory::parseFindCode(args)) {
    check(inviteCodeFrom(m->code) == m->code);
    rebuilds(*m, to_directory::findcode, to_directory::parseFindCode);
  }
  if (auto m = from_directory::parseReach(args))
    rebuilds(*m, from_directory::reach, from_directory::parseReach);
  if (auto m = from_directory::parseRelayOpen(args))
    rebuilds(*m, from_directory::relayopen, from_directory::parseRelayOpen);
  if (auto m = from_directory::parseRelayedTable(args)) {
    check(tableInfoOk(m->info) && m->relayHost.size() <= kMaxAddressBytes);
    rebuilds(*m, from_directory::relayedtable, from_directory::parseRelayedTable);
  }
  if (auto m = from_directory::parseCodeAt(args)) {
    check(m->reach != Reach::kDirect || isAddressText(m->host));
    rebuilds(*m, from_directory::codeat, from_directory::parseCodeAt);
  }
  if (auto m = to_relay::parseRelayJoin(args))
    rebuilds(*m, to_relay::relayjoin, to_relay::parseRelayJoin);
  if (auto m = to_relay::parseRelayBack(args))
    rebuilds(*m, to_relay::relayback, to_relay::parseRelayBack);
  if (auto m = from_relay::parseRelayRefused(args)) {
    check(textOk(m->reason, kMaxReasonBytes));
    rebuilds(*m, from_relay::relayrefused, from_relay::parseRelayRefused);
  }
  if (auto m = from_lobby::parseInviteCode(args)) {
    check(m->code.empty() || inviteCodeFrom(m->code) == m->code);
    rebuilds(*m, from_lobby::invitecode, from_lobby::parseInviteCode);
  }
  // A code as typed reads back the same, written with its dash or not.
  if (auto code = inviteCodeFrom(args)) {
    check(code->size() == kInviteCodeChars && inviteCodeFrom(inviteCodeText(*code)) == code);
  }
  // Whatever a host names its table, the message keeps its fields.
  const std::string cleaned = cleanText(args, kMaxTableNameBytes);
  check(textOk(cleaned, kMaxTableNameBytes) && cleanText(cleaned, kMaxTableNameBytes) == cleaned);
  return 0;
}
