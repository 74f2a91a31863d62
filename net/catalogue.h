#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/framing.h"
#include "rules/computer_strength.h"
#include "rules/constants.h"
#include "rules/rules.h"

// Every message of the game, built in one place and read in one place. Per message there
// is a plain struct, a builder that returns the whole message (command word, fields and
// terminator) ready to be sent in one call, and a reader that takes the argument text
// (everything after the command word's "+", terminator removed) and checks the form and
// range of every field once. A reader answers nothing for a message that does not read:
// no handler on either side cuts fields by hand or sees a value off its tables.
//
//   std::string bytes = to_players::nextplayer({.n = 2, .shufflesLeft = 1});
//   if (auto next = to_players::parseNextPlayer(args)) turnStarts(next->n);
namespace zp::net {

// The command words, shared by both directions where the word is the same.
namespace cmd {
inline constexpr std::string_view logininfo = "CMD_logininfo";
inline constexpr std::string_view kickhim = "CMD_kickhim";
inline constexpr std::string_view chat = "CMD_chat";
inline constexpr std::string_view action = "CMD_action";
inline constexpr std::string_view startgame = "CMD_startgame";
inline constexpr std::string_view justwatch = "CMD_justwatch";
inline constexpr std::string_view playerdone = "CMD_playerdone";
inline constexpr std::string_view direction = "CMD_direction";
inline constexpr std::string_view selectletter = "CMD_selectletter";
inline constexpr std::string_view selectclear = "CMD_selectclear";
inline constexpr std::string_view clearletter = "CMD_clearletter";
inline constexpr std::string_view shuffle = "CMD_shuffle";
inline constexpr std::string_view playasound = "CMD_playasound";

inline constexpr std::string_view sendlogininfo = "CMD_sendlogininfo";
inline constexpr std::string_view newplayerinfo = "CMD_newplayerinfo";
inline constexpr std::string_view havewrongversion = "CMD_havewrongversion";
inline constexpr std::string_view wrongversion = "CMD_wrongversion";
inline constexpr std::string_view existingplayers = "CMD_existingplayers";
inline constexpr std::string_view playerdisconnected = "CMD_playerdisconnected";
inline constexpr std::string_view nextplayer = "CMD_nextplayer";
inline constexpr std::string_view winner = "CMD_winner";
inline constexpr std::string_view full = "CMD_full";
inline constexpr std::string_view justwatching = "CMD_justwatching";
inline constexpr std::string_view theboard = "CMD_theboard";
inline constexpr std::string_view notvalid = "CMD_notvalid";
inline constexpr std::string_view madeword = "CMD_madeword";
inline constexpr std::string_view timeup = "CMD_timeup";
inline constexpr std::string_view gamestats = "CMD_gamestats";
inline constexpr std::string_view moving = "CMD_moving";
inline constexpr std::string_view useshuffle = "CMD_useshuffle";
inline constexpr std::string_view shufflesl = "CMD_shufflesl";
inline constexpr std::string_view bonus = "CMD_bonus";
}  // namespace cmd

using board::Cell;

// ---- ranges the readers hold every field to
inline constexpr int kMaxPlayTo = 1'000'000;  // wide enough for any table, far from overflow
inline constexpr int kMaxSeconds = 3600;
inline constexpr int kMaxShuffles = 100;
inline constexpr int kMaxScore = 999'999'999;  // the most digits a number field may have
inline constexpr int kBonusPoints = 20;        // for a seven-letter word
// The most a player's CMD_chat or CMD_action text (typed text, "|" and colour token) may
// hold: the table relays it as "CMD_chat+9+" + name + " chats: " + text, which with the
// longest name is then just within what every reader takes. A longer text is refused where
// it is read, so whatever the table relays arrives.
inline constexpr std::size_t kMaxChatTextBytes = kMaxMessageBytes - (sizeof("CMD_chat+9+") - 1) -
                                                 static_cast<std::size_t>(zp::kMaxNameBytes) -
                                                 (sizeof(" chats: ") - 1);
// The player number of a CMD_chat line the table writes itself, shown as a system line.
inline constexpr int kTableLine = 0;

// ---- the messages' contents
struct NoFields {
  bool operator==(const NoFields&) const = default;
};
// A player number alone: CMD_sendlogininfo, CMD_selectclear, CMD_shuffle.
struct PlayerNumber {
  int n = 0;
  bool operator==(const PlayerNumber&) const = default;
};
struct LoginInfo {
  int n = 0;
  std::string version;
  std::string name;  // everything after the second "+"
  bool operator==(const LoginInfo&) const = default;
};
struct KickHim {
  int requester = 0;
  int target = 0;
  bool operator==(const KickHim&) const = default;
};
// CMD_chat and CMD_action. To the server `text` is the typed text with its colour suffix;
// from it, the sender's name and " chats: " (or a blank) come first, or n is kTableLine.
struct ChatLine {
  int n = 0;
  std::string text;  // the last field: may hold "+"
  bool operator==(const ChatLine&) const = default;
};
// CMD_chat and CMD_action as a window receives them: the colour token (the text after the
// last "|") is split off; empty when there is none.
struct ReceivedChat {
  int n = 0;
  std::string text;
  std::string colour;
  bool operator==(const ReceivedChat&) const = default;
};
// The options of a game, as the host sends them and the server echoes them.
struct GameOptions {
  std::string hostName;
  int playTo = 0;
  int seconds = 0;
  bool team = false;
  int shuffles = 0;
  bool operator==(const GameOptions&) const = default;
};
inline constexpr int kStartWatching = 1;
inline constexpr int kStopWatching = 2;
// CMD_justwatch (the request) and CMD_justwatching (the announcement).
struct WatchMode {
  int n = 0;
  int mode = kStartWatching;
  bool operator==(const WatchMode&) const = default;
};
// The tiles of a word in selection order; on the wire each carries its index 1, 2, ...
struct PlayerDone {
  int n = 0;
  std::vector<Cell> path;  // 1 to 7 tiles
  bool operator==(const PlayerDone&) const = default;
};
struct DirectionChoice {
  int n = 0;
  int direction = board::kDown;
  bool operator==(const DirectionChoice&) const = default;
};
struct SelectLetter {
  int n = 0;
  int index = 1;  // the rack slot, 1..7
  Cell cell;
  bool operator==(const SelectLetter&) const = default;
};
struct ClearLetter {
  int n = 0;
  int index = 1;
  bool operator==(const ClearLetter&) const = default;
};
struct PlayASound {
  int n = 0;
  std::string sound;  // "wave" and a number, as the sender wrote it
  bool operator==(const PlayASound&) const = default;
};
// CMD_newplayerinfo, CMD_existingplayers and CMD_playerdisconnected.
struct PlayerInfo {
  int n = 0;
  std::string name;
  bool operator==(const PlayerInfo&) const = default;
};
struct NameOnly {
  std::string name;
  bool operator==(const NameOnly&) const = default;
};
struct NextPlayer {
  int n = 0;
  int shufflesLeft = 0;
  bool operator==(const NextPlayer&) const = default;
};
// The whole board in the server's letter codes: 1..26, kEmptyCode for a used tile.
struct TheBoard {
  board::Letters codes{};
  bool operator==(const TheBoard&) const = default;
};
struct NotValid {
  int n = 0;
  std::string word;
  bool operator==(const NotValid&) const = default;
};
struct MadeWord {
  int n = 0;
  std::string word;
  int points = 0;
  int total = 0;
  int teamA = 0;
  int teamB = 0;
  std::vector<Cell> path;  // one cell per letter of the word
  bool operator==(const MadeWord&) const = default;
};
// The eleven values a player who joins a running game is brought up to date with.
struct GameStats {
  int current = 0;  // 0 between turns
  int playTo = 0;
  int seconds = 0;
  int countdown = 0;
  bool team = false;
  std::array<int, 4> scores{};
  int teamA = 0;
  int teamB = 0;
  bool operator==(const GameStats&) const = default;
};
struct Moving {
  int direction = board::kDown;
  bool operator==(const Moving&) const = default;
};
struct UseShuffle {
  int n = 0;
  int shufflesLeft = 0;
  int countdown = 0;
  bool operator==(const UseShuffle&) const = default;
};
struct ShufflesLeft {
  std::array<int, 4> left{};
  bool operator==(const ShufflesLeft&) const = default;
};
struct Bonus {
  int n = 0;
  int bonus = kBonusPoints;
  bool operator==(const Bonus&) const = default;
};

// ---- client to server
namespace to_server {
// The name is followed by an extra terminator, as players have always sent it.
std::string logininfo(const LoginInfo& m);
std::string kickhim(const KickHim& m);
std::string chat(const ChatLine& m);
std::string action(const ChatLine& m);
std::string startgame(const GameOptions& m);
std::string justwatch(const WatchMode& m);
std::string playerdone(const PlayerDone& m);
std::string direction(const DirectionChoice& m);
std::string selectletter(const SelectLetter& m);
std::string selectclear(const PlayerNumber& m);
std::string clearletter(const ClearLetter& m);
std::string shuffle(const PlayerNumber& m);
std::string playasound(const PlayASound& m);

std::optional<LoginInfo> parseLoginInfo(std::string_view args);
std::optional<KickHim> parseKickHim(std::string_view args);
// CMD_chat and CMD_action; a text longer than kMaxChatTextBytes is refused.
std::optional<ChatLine> parseChat(std::string_view args);
std::optional<GameOptions> parseStartGame(std::string_view args);
std::optional<WatchMode> parseJustWatch(std::string_view args);
std::optional<PlayerDone> parsePlayerDone(std::string_view args);
std::optional<DirectionChoice> parseDirection(std::string_view args);
std::optional<SelectLetter> parseSelectLetter(std::string_view args);
std::optional<PlayerNumber> parseSelectClear(std::string_view args);
std::optional<ClearLetter> parseClearLetter(std::string_view args);
std::optional<PlayerNumber> parseShuffle(std::string_view args);
std::optional<PlayASound> parsePlayASound(std::string_view args);
}  // namespace to_server

// ---- server to players
namespace to_players {
std::string sendlogininfo(const PlayerNumber& m);
std::string chat(const ChatLine& m);    // m.text already holds "name chats: "
std::string action(const ChatLine& m);  // m.text already holds "name "
std::string newplayerinfo(const PlayerInfo& m);
std::string havewrongversion(const NameOnly& m);
std::string wrongversion();
std::string existingplayers(const PlayerInfo& m);
std::string playerdisconnected(const PlayerInfo& m);
std::string startgame(const GameOptions& m);
std::string nextplayer(const NextPlayer& m);
std::string winner(const NameOnly& m);
std::string full();
std::string justwatching(const WatchMode& m);
std::string theboard(const TheBoard& m);
std::string notvalid(const NotValid& m);
std::string madeword(const MadeWord& m);
std::string timeup();
std::string gamestats(const GameStats& m);
std::string selectletter(const SelectLetter& m);
std::string selectclear(const PlayerNumber& m);
std::string moving(const Moving& m);
std::string clearletter(const ClearLetter& m);
std::string useshuffle(const UseShuffle& m);
std::string shufflesl(const ShufflesLeft& m);
std::string bonus(const Bonus& m);
std::string playasound(const PlayASound& m);

std::optional<PlayerNumber> parseSendLoginInfo(std::string_view args);
// CMD_chat and CMD_action, from a player 1..9 or kTableLine.
std::optional<ReceivedChat> parseChat(std::string_view args);
std::optional<PlayerInfo> parsePlayerInfo(std::string_view args);  // the three roster messages
std::optional<NameOnly> parseHaveWrongVersion(std::string_view args);
std::optional<NoFields> parseNoFields(std::string_view args);  // wrongversion, full, timeup
std::optional<GameOptions> parseStartGame(std::string_view args);
std::optional<NextPlayer> parseNextPlayer(std::string_view args);
std::optional<NameOnly> parseWinner(std::string_view args);
std::optional<WatchMode> parseJustWatching(std::string_view args);
std::optional<TheBoard> parseTheBoard(std::string_view args);
std::optional<NotValid> parseNotValid(std::string_view args);
std::optional<MadeWord> parseMadeWord(std::string_view args);
std::optional<GameStats> parseGameStats(std::string_view args);
std::optional<SelectLetter> parseSelectLetter(std::string_view args);
std::optional<PlayerNumber> parseSelectClear(std::string_view args);
std::optional<Moving> parseMoving(std::string_view args);
std::optional<ClearLetter> parseClearLetter(std::string_view args);
std::optional<UseShuffle> parseUseShuffle(std::string_view args);
std::optional<ShufflesLeft> parseShufflesLeft(std::string_view args);
std::optional<Bonus> parseBonus(std::string_view args);
std::optional<PlayASound> parsePlayASound(std::string_view args);
}  // namespace to_players

}  // namespace zp::net

// ==== Finding tables: what a table holds, and the directory that lists tables ====
//
// A lobby asks a table what it holds with CMD_tableinfo+ as its connection's first message,
// instead of logging in; it may send it at once, without waiting for CMD_sendlogininfo. The
// table answers with one CMD_tableinfo and closes the connection. The asker skips whatever
// else comes first (CMD_sendlogininfo, or CMD_full from a full table, which answers too).
// A table of an older copy ignores the request and the asker gives up after its own limit.
//
//   socket.write(to_server::tableinfo());
//   ... if (split.command == cmd::tableinfo)
//         if (auto info = to_players::parseTableInfo(split.args)) show(*info);
//
// A table keeps itself listed in a directory over a connection it holds open: it sends
// CMD_registertable with the port it listens on and its information whenever that changes
// and at least every 20 s, and CMD_withdrawtable when it stops. The directory lists it at the
// address the registration came from, with the port it names, and answers CMD_registered
// (where it is listed) or CMD_refused (with the reason). Anyone may send CMD_tablelist+;
// the answer is one CMD_listedtable per live table, then CMD_tablelistend with their count.
//
//   socket.write(to_directory::tablelist());
//   ... if (split.command == cmd::listedtable)
//         if (auto t = from_directory::parseListedTable(split.args)) add(*t);
//       if (split.command == cmd::tablelistend) done();
//
// Every free text (table and player names, the version, a refusal's reason) is cleaned by the
// builders so that it reads back: a "+" becomes U+FF0B, a control byte a blank, and a text
// too long is cut at a character boundary. The readers refuse a field past its bound or with
// a control byte, so what they hand over can be shown and stored as it is.
namespace zp::net {

namespace cmd {
inline constexpr std::string_view tableinfo = "CMD_tableinfo";
inline constexpr std::string_view registertable = "CMD_registertable";
inline constexpr std::string_view withdrawtable = "CMD_withdrawtable";
inline constexpr std::string_view tablelist = "CMD_tablelist";
inline constexpr std::string_view registered = "CMD_registered";
inline constexpr std::string_view refused = "CMD_refused";
inline constexpr std::string_view listedtable = "CMD_listedtable";
inline constexpr std::string_view tablelistend = "CMD_tablelistend";
}  // namespace cmd

inline constexpr int kMaxTableNameChars = 40;           // what a host may call its table
inline constexpr std::size_t kMaxTableNameBytes = 160;  // those characters in UTF-8
inline constexpr std::size_t kMaxVersionBytes = 16;
inline constexpr std::size_t kMaxSeatNameBytes = 64;  // a longer player name is shown cut
inline constexpr int kMaxSpectators = 99;
inline constexpr std::size_t kMaxReasonBytes = 200;
inline constexpr std::size_t kMaxAddressBytes = 45;  // the longest IPv6 address in text
inline constexpr int kMaxListedTables = 1'000'000;

inline constexpr std::string_view kTableWaiting = "waiting";
inline constexpr std::string_view kTablePlaying = "playing";

// What a table holds, as it tells a lobby and a directory.
struct TableInfo {
  std::string name;
  std::string version;
  bool playing = false;  // "playing" or "waiting" on the wire
  int playTo = 0;        // 0 and 0 before the first game
  int seconds = 0;
  int spectators = 0;
  std::array<std::string, kSeats> seats;  // empty: a free seat; "Tobo": the computer plays it
  // How the computer plays; a field older tables do not send, so it may be unknown.
  std::optional<ComputerStrength> computer;
  // Who the host lets see it ("public", "invite" or "local"); sent after `computer`, and only
  // with it, by newer tables.
  std::optional<std::string> visibility = std::nullopt;
  bool operator==(const TableInfo&) const = default;
};
struct TableRegistration {
  int port = 0;  // 1..65535, the port the table listens on
  TableInfo info;
  bool operator==(const TableRegistration&) const = default;
};
struct TablePort {  // CMD_withdrawtable
  int port = 0;
  bool operator==(const TablePort&) const = default;
};
struct TableAddress {   // CMD_registered: where the directory lists the table
  std::string address;  // IPv4 or IPv6 in text, without brackets
  int port = 0;
  bool operator==(const TableAddress&) const = default;
};
struct Refusal {
  int port = 0;  // the table it is about, 0 for none
  std::string reason;
  bool operator==(const Refusal&) const = default;
};
struct ListedTable {
  std::string address;
  int port = 0;
  TableInfo info;
  bool operator==(const ListedTable&) const = default;
};
struct TableCount {
  int count = 0;
  bool operator==(const TableCount&) const = default;
};

// A free text as the builders send it (see above); `maxBytes` is the field's bound.
std::string cleanText(std::string_view text, std::size_t maxBytes);
// A table's name as a host gives it: cleaned as above and cut to kMaxTableNameChars
// characters; empty when nothing is left.
std::string cleanTableName(std::string_view name);
// True for IPv4 or IPv6 address text, as the directory lists addresses.
bool isAddressText(std::string_view text);

namespace to_server {
std::string tableinfo();
std::optional<NoFields> parseTableInfoRequest(std::string_view args);
}  // namespace to_server

namespace to_players {
std::string tableinfo(const TableInfo& m);
std::optional<TableInfo> parseTableInfo(std::string_view args);
}  // namespace to_players

// ---- a table or a lobby to a directory
namespace to_directory {
std::string registertable(const TableRegistration& m);
std::string withdrawtable(const TablePort& m);
std::string tablelist();

std::optional<TableRegistration> parseRegisterTable(std::string_view args);
std::optional<TablePort> parseWithdrawTable(std::string_view args);
std::optional<NoFields> parseTableList(std::string_view args);
}  // namespace to_directory

// ---- a directory to a table or a lobby
namespace from_directory {
std::string registered(const TableAddress& m);
std::string refused(const Refusal& m);
std::string listedtable(const ListedTable& m);
std::string tablelistend(const TableCount& m);

std::optional<TableAddress> parseRegistered(std::string_view args);
std::optional<Refusal> parseRefused(std::string_view args);
std::optional<ListedTable> parseListedTable(std::string_view args);
std::optional<TableCount> parseTableListEnd(std::string_view args);
}  // namespace from_directory

}  // namespace zp::net

// ==== Keeping order at a table: who hosts, how the computer plays, who may not chat ====
//
// The table decides who hosts: the first player to log in, and when the host leaves, the
// player seated longest (then the spectator present longest). It tells each newcomer after
// the roster, and everybody when the role passes, with CMD_host. Only the host's CMD_startgame,
// CMD_kickhim, CMD_computer and CMD_mute are obeyed. A window or table that does not know
// these messages ignores them, as it ignores any command it does not know.
//
//   send(to_server::computer({own, ComputerStrength::Strong}));  // before CMD_startgame
//   send(to_server::mute({own, 6, 15}));                         // 0 minutes lifts it
//   ... table: sendToAll(to_players::muted({6, 900}));           // seconds left, 0: lifted
namespace zp::net {

namespace cmd {
inline constexpr std::string_view host = "CMD_host";
inline constexpr std::string_view computer = "CMD_computer";
inline constexpr std::string_view mute = "CMD_mute";
inline constexpr std::string_view muted = "CMD_muted";
}  // namespace cmd

inline constexpr int kMaxMuteMinutes = 24 * 60;

struct ComputerChoice {
  int n = 0;
  ComputerStrength strength = ComputerStrength::Classic;
  bool operator==(const ComputerChoice&) const = default;
};
struct MuteRequest {
  int requester = 0;
  int target = 0;
  int minutes = 0;  // 0: lifts the mute
  bool operator==(const MuteRequest&) const = default;
};
struct Muted {
  int n = 0;
  int seconds = 0;  // how long the player stays muted; 0: no longer
  bool operator==(const Muted&) const = default;
};

namespace to_server {
std::string computer(const ComputerChoice& m);
std::string mute(const MuteRequest& m);
std::optional<ComputerChoice> parseComputer(std::string_view args);
std::optional<MuteRequest> parseMute(std::string_view args);
}  // namespace to_server

namespace to_players {
std::string host(const PlayerNumber& m);
std::string muted(const Muted& m);
std::optional<PlayerNumber> parseHost(std::string_view args);
std::optional<Muted> parseMuted(std::string_view args);
}  // namespace to_players

}  // namespace zp::net

// ==== Tables on the local network ====
//
// A lobby finds the tables on its own network without a directory: at each refresh it sends
// one CMD_findtables datagram (UDP, port kLocalNetworkPort) to the broadcast address of each
// IPv4 interface and to the IPv6 all-nodes group, and every table that listens for players
// answers the asker alone with one CMD_foundtable: what CMD_tableinfo carries, its game port
// and an identity that is the same over IPv4 and IPv6, so the lobby shows it once. One
// datagram is one whole message, terminator included.
//
// The answer can never be larger than the question: every query is padded to exactly
// kLocalQueryBytes, which the largest answer fits, and a table reads nothing else as a query.
// The token is the asker's, echoed in the answer: a lobby reads no answer to a question it
// did not ask.
//
//   socket.send(local_network::findtables({.token = "0123456789abcdef"}));
//   ... if (auto found = local_network::parseFoundTable(datagram)) show(*found);
namespace zp::net {

namespace cmd {
inline constexpr std::string_view findtables = "CMD_findtables";
inline constexpr std::string_view foundtable = "CMD_foundtable";
}  // namespace cmd

inline constexpr std::uint16_t kLocalNetworkPort = 7773;
inline constexpr std::size_t kLocalQueryBytes = 600;
inline constexpr std::size_t kLocalTokenChars = 16;  // lower-case hexadecimal, also the identity

struct TableQuery {
  std::string token;
  bool operator==(const TableQuery&) const = default;
};
struct FoundTable {
  std::string token;  // the query's
  std::string table;  // the answering table's identity for as long as it runs
  int port = 0;       // where it listens for players
  TableInfo info;
  bool operator==(const FoundTable&) const = default;
};

namespace local_network {
// Sixteen lower-case hexadecimal digits, as tokens and identities are written.
bool isToken(std::string_view text);
std::string tokenText(std::uint64_t value);

// Whole datagrams: the query padded to kLocalQueryBytes; the answer, never longer.
std::string findtables(const TableQuery& m);
std::string foundtable(const FoundTable& m);
// Read whole datagrams: a query of any other length, or with anything but its padding after
// the token, is not one.
std::optional<TableQuery> parseFindTables(std::string_view datagram);
std::optional<FoundTable> parseFoundTable(std::string_view datagram);
}  // namespace local_network

}  // namespace zp::net

// ==== Coming back after a dropped connection ====
//
// After login the table hands the player a secret rejoin token with CMD_rejointoken, to that
// player alone. When a seated player's connection ends without CMD_goodbye, the table holds
// the seat (name, score, team, shuffles, place in the turn order) for a grace time, tells the
// others with a table line and CMD_away, and the computer plays the seat's turns meanwhile.
// A window that connects again answers CMD_sendlogininfo with CMD_rejoin instead of
// CMD_logininfo: the offered record, its version, the token and the name. With the name and
// the token of a held seat the connection takes that seat back and the table sends it
// CMD_rejointoken with the seat's record (and a new token), then what a late joiner gets;
// otherwise it is an ordinary newcomer on the offered record. CMD_away with 0 seconds: the
// seat's player is back. A window or table that does not know these messages ignores them,
// as it ignores any command it does not know; a window that leaves on purpose sends
// CMD_goodbye first, so its seat is freed at once. The table says CMD_goodbye to a player it
// lets go on purpose (removed by the host, or the table closing), whose window then closes
// rather than coming back.
//
//   send(to_server::goodbye({own}));                                 // then close
//   ... table: sendTo(n, to_players::goodbye({n}));                  // then close
//   send(to_server::rejoin({offered, kGameVersion, token, "Ann"}));  // after CMD_sendlogininfo
//   ... table: sendTo(n, to_players::rejointoken({n, token}));
//   ... table: sendToAll(to_players::away({n, 90}));                  // held for 90 s; 0: back
namespace zp::net {

namespace cmd {
inline constexpr std::string_view rejointoken = "CMD_rejointoken";
inline constexpr std::string_view away = "CMD_away";
inline constexpr std::string_view goodbye = "CMD_goodbye";
inline constexpr std::string_view rejoin = "CMD_rejoin";
}  // namespace cmd

inline constexpr std::size_t kRejoinTokenChars = 32;  // lower-case hexadecimal
inline constexpr int kMaxGraceSeconds = 24 * 60 * 60;

struct RejoinToken {
  int n = 0;
  std::string token;
  bool operator==(const RejoinToken&) const = default;
};
struct Away {
  int n = 0;
  int seconds = 0;  // how long the seat is held; 0: its player is back
  bool operator==(const Away&) const = default;
};
struct Rejoin {
  int n = 0;  // the record the table offered this connection
  std::string version;
  std::string token;
  std::string name;
  bool operator==(const Rejoin&) const = default;
};

// Thirty-two lower-case hexadecimal digits, as rejoin tokens are written.
bool isRejoinToken(std::string_view text);

namespace to_server {
std::string goodbye(const PlayerNumber& m);
std::string rejoin(const Rejoin& m);
std::optional<PlayerNumber> parseGoodbye(std::string_view args);
std::optional<Rejoin> parseRejoin(std::string_view args);
}  // namespace to_server

namespace to_players {
std::string goodbye(const PlayerNumber& m);
std::optional<PlayerNumber> parseGoodbye(std::string_view args);
std::string rejointoken(const RejoinToken& m);
std::string away(const Away& m);
std::optional<RejoinToken> parseRejoinToken(std::string_view args);
std::optional<Away> parseAway(std::string_view args);
}  // namespace to_players

}  // namespace zp::net

// ==== Reaching a table from outside: reachability, the relay, invite codes ====

// A directory connects back to every table that registers and asks CMD_tableinfo+; a table
// that answers is listed direct. A table that sends CMD_reachme (before its CMD_registertable)
// says how it wants to be seen and that it can open connections back to the directory's
// relay: when the directory cannot reach it, it is listed relayed (CMD_relayedtable, which
// older lobbies skip) and told so with CMD_reach; an older table that cannot be reached is
// refused in words and not listed. Every table a directory knows gets an invite code, given
// with CMD_reach; anyone may resolve one with CMD_findcode (CMD_codeat, or CMD_refused).
//
// The relay takes a player's connection whose first message is CMD_relayjoin with a code,
// asks the table over its registration link with CMD_relayopen to open one more connection
// to the relay, which the table starts with CMD_relayback and its ticket. The relay then
// tells the player CMD_relayed and passes bytes both ways unchanged: to each side it is the
// other. A refusal is one CMD_relayrefused with the reason, and the connection ends.
//
//   send(to_directory::reachme({7772, Visibility::kInvite}));  // then CMD_registertable
//   ... if (auto r = from_directory::parseReach(args)) show(inviteCodeText(r->code));
//   send(to_relay::relayjoin({"K7Q2M9"}));  // first, on a connection to the relay
namespace zp::net {

namespace cmd {
inline constexpr std::string_view reachme = "CMD_reachme";
inline constexpr std::string_view reach = "CMD_reach";
inline constexpr std::string_view relayopen = "CMD_relayopen";
inline constexpr std::string_view relayedtable = "CMD_relayedtable";
inline constexpr std::string_view findcode = "CMD_findcode";
inline constexpr std::string_view codeat = "CMD_codeat";
inline constexpr std::string_view relayjoin = "CMD_relayjoin";
inline constexpr std::string_view relayback = "CMD_relayback";
inline constexpr std::string_view relayed = "CMD_relayed";
inline constexpr std::string_view relayrefused = "CMD_relayrefused";
inline constexpr std::string_view invitecode = "CMD_invitecode";
}  // namespace cmd

inline constexpr std::uint16_t kDirectoryPort = 7771;
inline constexpr std::uint16_t kRelayPort = 7770;

// Codes are written with these characters only: no 0 and O, 1 and I or L to tell apart.
inline constexpr std::string_view kInviteAlphabet = "23456789ABCDEFGHJKMNPQRSTUVWXYZ";
inline constexpr std::size_t kInviteCodeChars = 6;
inline constexpr std::size_t kRelayTicketChars = 16;  // lower-case hexadecimal

// How a directory reaches a table: still checking, directly, through its relay, or not at all.
enum class Reach { kChecking, kDirect, kRelayed, kUnreachable };
// Who sees a table: everybody in the list, those given its code, or only its own network.
enum class Visibility { kPublic, kInvite, kLocal };

std::string_view reachName(Reach reach);
std::optional<Reach> reachNamed(std::string_view name);
std::string_view visibilityName(Visibility visibility);
std::optional<Visibility> visibilityNamed(std::string_view name);

// The code as players type it: with or without the dash, in any case. Nothing for anything
// but six characters of kInviteAlphabet.
std::optional<std::string> inviteCodeFrom(std::string_view text);
// "K7Q-2M9" for "K7Q2M9".
std::string inviteCodeText(std::string_view code);
// A code from `randomBits`, spread over the alphabet.
std::string inviteCodeFromNumber(std::uint64_t randomBits);
// "K7Q2M9@dir.example.org" or "k7q-2m9@[2001:db8::1]:7771", as a game's command line names a
// table by its code: the code and the directory (port kDirectoryPort unless given).
struct InviteAddress {
  std::string code;
  std::string directoryHost;
  std::uint16_t directoryPort = kDirectoryPort;
};
std::optional<InviteAddress> parseInviteAddress(std::string_view text);

struct ReachRequest {  // CMD_reachme
  int port = 0;
  Visibility visibility = Visibility::kPublic;
  bool operator==(const ReachRequest&) const = default;
};
struct ReachState {  // CMD_reach
  int port = 0;
  Reach reach = Reach::kChecking;
  std::string code;  // empty before the directory has given one
  bool operator==(const ReachState&) const = default;
};
struct RelayOpen {    // CMD_relayopen
  int port = 0;       // the table it asks
  int relayPort = 0;  // on the directory's own host
  std::string ticket;
  bool operator==(const RelayOpen&) const = default;
};
struct RelayedTable {     // CMD_relayedtable
  std::string relayHost;  // empty: the directory's own host
  int relayPort = 0;
  std::string code;
  TableInfo info;
  bool operator==(const RelayedTable&) const = default;
};
struct InviteCode {  // CMD_findcode, CMD_relayjoin
  std::string code;
  bool operator==(const InviteCode&) const = default;
};
struct CodeAt {  // CMD_codeat
  std::string code;
  Reach reach = Reach::kDirect;  // kDirect: the table's address; kRelayed: the relay's
  std::string host;              // empty: the directory's own host
  int port = 0;
  bool operator==(const CodeAt&) const = default;
};
struct RelayTicket {  // CMD_relayback
  std::string ticket;
  bool operator==(const RelayTicket&) const = default;
};
struct RelayRefusal {  // CMD_relayrefused
  std::string reason;
  bool operator==(const RelayRefusal&) const = default;
};

namespace to_directory {
std::string reachme(const ReachRequest& m);
std::string findcode(const InviteCode& m);
std::optional<ReachRequest> parseReachMe(std::string_view args);
std::optional<InviteCode> parseFindCode(std::string_view args);
}  // namespace to_directory

namespace from_directory {
std::string reach(const ReachState& m);
std::string relayopen(const RelayOpen& m);
std::string relayedtable(const RelayedTable& m);
std::string codeat(const CodeAt& m);
std::optional<ReachState> parseReach(std::string_view args);
std::optional<RelayOpen> parseRelayOpen(std::string_view args);
std::optional<RelayedTable> parseRelayedTable(std::string_view args);
std::optional<CodeAt> parseCodeAt(std::string_view args);
}  // namespace from_directory

namespace to_relay {
std::string relayjoin(const InviteCode& m);
std::string relayback(const RelayTicket& m);
std::optional<InviteCode> parseRelayJoin(std::string_view args);
std::optional<RelayTicket> parseRelayBack(std::string_view args);
}  // namespace to_relay

namespace from_relay {
std::string relayed();
std::string relayrefused(const RelayRefusal& m);
std::optional<NoFields> parseRelayed(std::string_view args);
std::optional<RelayRefusal> parseRelayRefused(std::string_view args);
}  // namespace from_relay

// The lobby registers the table its game hosts, and passes the code a directory gave it on
// to that game over the game's lobby link: CMD_invitecode with the code, or with nothing once
// the table has none any more.
namespace from_lobby {
std::string invitecode(const InviteCode& m);
std::optional<InviteCode> parseInviteCode(std::string_view args);
}  // namespace from_lobby

}  // namespace zp::net
