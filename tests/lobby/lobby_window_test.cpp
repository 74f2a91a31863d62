// The lobby's window offscreen, over a table on loopback that answers what it holds.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "gui/lobby/host_dialog.h"
#include "gui/lobby/lobby_window.h"
#include "gui/lobby/players_delegate.h"
#include "gui/lobby/table_rows_model.h"
#include "net/catalogue.h"
#include "tests/support/loopback_client.h"

namespace zp::lobby_gui {
namespace {

using zp::testing::waitUntil;

// A table that answers CMD_tableinfo+ as a table does, after a login request first.
class AnsweringTable {
 public:
  explicit AnsweringTable(net::TableInfo info) : info_(std::move(info)) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      QTcpSocket* socket = server_.nextPendingConnection();
      socket->write("CMD_sendlogininfo+1\xFF");
      QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] {
        if (!socket->readAll().startsWith("CMD_tableinfo+")) return;
        const std::string answer = net::to_players::tableinfo(info_);
        socket->write(answer.data(), static_cast<qint64>(answer.size()));
        socket->disconnectFromHost();
      });
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    });
  }
  quint16 port() const { return server_.serverPort(); }

 private:
  net::TableInfo info_;
  QTcpServer server_;
};

TEST(LobbyWindow, ListsTheTablesAndNamesEveryControl) {
  QTemporaryDir dir;
  AnsweringTable club({"Club <b>night</b>",
                       "1.0.15",
                       true,
                       110,
                       70,
                       1,
                       {"Ann", "", "Tobo", ""},
                       ComputerStrength::Expert});
  // An older table: no strength, and no rules before its first game.
  AnsweringTable quiet({"Quiet", "1.0.15", false, 0, 0, 0, {"Bob", "", "", ""}, std::nullopt});
  const client::ProfileFile settings(dir.filePath("qelmlobby.ini").toStdString());
  ASSERT_FALSE(lobby::writeLobbySettings(
      settings, {"", {}, {{"127.0.0.1", club.port()}, {"127.0.0.1", quiet.port()}}}));
  // No game program: a join then says so on the status line.
  lobby::Lobby lobby(lobby::LobbyOptions{settings, {}, 1, 0, QString()});
  LobbyWindow window(lobby);
  lobby.start();
  window.show();
  EXPECT_EQ(window.windowTitle(), "Zandu Pelix Lobby");

  QAbstractItemModel* rows = window.grid_tables->model();
  ASSERT_TRUE(waitUntil(
      [&] {
        return rows->rowCount() == 2 &&
               !rows->match(rows->index(0, static_cast<int>(lobby::Column::kState)),
                            Qt::DisplayRole, "playing", 1, Qt::MatchExactly)
                    .isEmpty();
      },
      3000));
  // Sorted by the table's name; the name shows as text, not markup.
  EXPECT_EQ(rows->index(0, 0).data().toString(), "Club <b>night</b>");
  EXPECT_EQ(rows->index(0, 1).data().toString(), "2 players: Ann; Tobo");
  EXPECT_EQ(rows->index(0, 1).data(TableRowsModel::kPlayersRole).toStringList(),
            (QStringList{"Ann", "Tobo"}));
  EXPECT_EQ(rows->index(0, 2).data().toInt(), 2);
  EXPECT_EQ(rows->index(0, 3).data().toInt(), 1);
  EXPECT_EQ(rows->index(0, static_cast<int>(lobby::Column::kAddress)).data().toString(),
            "127.0.0.1:" + QString::number(club.port()));
  // The rules a player chooses a table by; blank, not 0, where a table did not say.
  const struct {
    lobby::Column column;
    QString heading, club, quiet;
  } rules[] = {{lobby::Column::kPlayTo, "Play to", "110", ""},
               {lobby::Column::kTurnTime, "Turn", "70 s", ""},
               {lobby::Column::kComputer, "Computer", "Expert", ""}};
  for (const auto& rule : rules) {
    const int column = static_cast<int>(rule.column);
    EXPECT_EQ(rows->headerData(column, Qt::Horizontal).toString(), rule.heading);
    EXPECT_EQ(rows->index(0, column).data().toString(), rule.club);
    EXPECT_EQ(rows->index(1, column).data().toString(), rule.quiet);
  }
  EXPECT_EQ(rows->headerData(2, Qt::Horizontal).toString(), "Free seats");
  // Sorting by free seats puts Quiet (3) after the club (2).
  window.grid_tables->sortByColumn(2, Qt::DescendingOrder);
  EXPECT_EQ(rows->index(0, 0).data().toString(), "Quiet");

  for (QWidget* control : std::initializer_list<QWidget*>{
           window.edit_name, window.grid_tables, window.button_join, window.button_host,
           window.button_refresh, window.button_add, window.button_remove, window.button_code,
           window.label_status}) {
    // What a screen reader reads: the status line reads itself.
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(read, nullptr);
    EXPECT_FALSE(read->text(QAccessible::Name).isEmpty()) << control->metaObject()->className();
  }
  EXPECT_EQ(QAccessible::queryAccessibleInterface(window.label_status)->text(QAccessible::Name),
            window.label_status->text());
  EXPECT_EQ(window.button_add->accessibleName(), "Add Table");
  EXPECT_EQ(window.button_code->accessibleName(), "Join by Code");

  EXPECT_FALSE(window.button_join->isEnabled()) << "nothing selected yet";
  window.grid_tables->setFocus();
  window.grid_tables->selectRow(0);
  EXPECT_TRUE(window.button_join->isEnabled());
  EXPECT_TRUE(window.button_remove->isEnabled()) << "an added table";

  // Enter on a row joins: without a name, the lobby asks for one and the name field has the
  // focus; with one, it tries to start the game.
  QTest::keyClick(window.grid_tables, Qt::Key_Return);
  EXPECT_TRUE(window.label_status->text().startsWith("Type your name first"));
  window.edit_name->setText("Ann+");
  QTest::keyClick(window.grid_tables, Qt::Key_Enter);
  EXPECT_EQ(window.edit_name->text(), "Ann") << "cleaned as the game cleans a name";
  EXPECT_TRUE(window.label_status->text().startsWith(
      "The game (zandupelix) is neither beside the lobby nor on the PATH"));
  // A code as a friend types it: what is no code, or one without a directory, is said so.
  EXPECT_FALSE(lobby.joinByCode("K7Q-2M"));
  EXPECT_TRUE(window.label_status->text().startsWith("An invite code is six letters and digits"));
  EXPECT_FALSE(lobby.joinByCode("k7q-2m9"));
  EXPECT_TRUE(window.label_status->text().startsWith("Give the directory too"));
  EXPECT_FALSE(lobby.joinByCode("k7q-2m9@dir.example.org"));
  EXPECT_TRUE(window.label_status->text().startsWith("The game (zandupelix) is neither"))
      << "a whole code goes on to start the game";

  window.button_remove->click();
  ASSERT_TRUE(waitUntil([&] { return rows->rowCount() == 1; }, 1000));
  EXPECT_EQ(lobby::readLobbySettings(settings).tables.size(), 1u);
  EXPECT_EQ(lobby::readLobbySettings(settings).name, "Ann");
}

TEST(LobbyWindow, HostATableOffersANameAndTheRulesAndEveryFieldIsNamed) {
  lobby::HostChoice offered{"Ann's table", {300, 45, ComputerStrength::Strong}};
  HostDialog dialog(offered);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Host a Table");
  EXPECT_EQ(dialog.choice().tableName, "Ann's table");
  EXPECT_EQ(dialog.choice().options, offered.options);
  EXPECT_EQ(dialog.choice().visibility, net::Visibility::kPublic);
  dialog.combo_visibility->setCurrentIndex(1);
  EXPECT_EQ(dialog.choice().visibility, net::Visibility::kInvite);
  dialog.combo_visibility->setCurrentIndex(0);
  EXPECT_EQ(dialog.focusWidget(), dialog.edit_tablename) << "typing names the table at once";
  for (QWidget* control : std::initializer_list<QWidget*>{
           dialog.edit_tablename, dialog.spin_playto, dialog.spin_seconds, dialog.check_unhurried,
           dialog.combo_computer, dialog.combo_visibility, dialog.button_host}) {
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(read, nullptr);
    EXPECT_FALSE(read->text(QAccessible::Name).isEmpty()) << control->metaObject()->className();
  }
  QTest::keyClicks(dialog.edit_tablename, "Thursday club");
  dialog.spin_playto->setValue(20000);  // held to the start dialog's range
  dialog.combo_computer->setCurrentIndex(3);
  const lobby::HostChoice chosen = dialog.choice();
  EXPECT_EQ(chosen.tableName, "Thursday club");
  EXPECT_EQ(chosen.options.playTo, 10000);
  EXPECT_EQ(chosen.options.seconds, 45);
  EXPECT_EQ(chosen.options.computer, ComputerStrength::Expert);
  EXPECT_FALSE(chosen.options.unhurried);
  // Unhurried: the turn has no seconds to set.
  dialog.check_unhurried->click();
  EXPECT_TRUE(dialog.choice().options.unhurried);
  EXPECT_FALSE(dialog.spin_seconds->isEnabled());
}

TEST(LobbyWindow, HostingKeepsTheRulesForTheGamesStartDialog) {
  QTemporaryDir dir;
  const client::ProfileFile settings(dir.filePath("qelmlobby.ini").toStdString());
  lobby::Lobby lobby(lobby::LobbyOptions{settings, {}, 1, 0, QString()});
  lobby.setName("Ann");
  EXPECT_EQ(lobby.hostChoice().tableName, "Ann's table");
  // No game program here: the host fails, but what the game's dialog opens with is kept.
  EXPECT_FALSE(lobby.host({"Ann's table", {250, 90, ComputerStrength::Easy, true}}));
  const client::SettingsFile::GameStartOptions kept =
      client::SettingsFile(settings).readGameStartOptions();
  EXPECT_EQ(kept, (client::SettingsFile::GameStartOptions{250, 90, ComputerStrength::Easy, true}));
  EXPECT_EQ(lobby.hostChoice().options, kept);
}

TEST(TableRowsModel, ATableThatNeverSaidItsNameSortsAfterTheNamedOnes) {
  TableRowsModel model;
  QSortFilterProxyModel sorted;
  sorted.setSourceModel(&model);
  sorted.setSortRole(TableRowsModel::kSortRole);
  const auto named = [](const char* host, const char* name) {
    return lobby::TableRow{{host, 7772},
                           lobby::kAddedByPlayer,
                           lobby::TableState::kKnown,
                           net::TableInfo{name, "1.0.15", false, 0, 0, 0, {}, std::nullopt},
                           {},
                           {}};
  };
  model.show({lobby::TableRow{{"10.0.0.1", 7772},
                              lobby::kAddedByPlayer,
                              lobby::TableState::kAsking,
                              std::nullopt,
                              {},
                              {}},
              named("10.0.0.2", "zebra"), named("10.0.0.3", "Alpha"),
              named("10.0.0.4", "\xEF\xBF\xBD")});
  sorted.sort(static_cast<int>(lobby::Column::kName), Qt::AscendingOrder);
  QStringList order;
  for (int row = 0; row < sorted.rowCount(); ++row)
    order << sorted.index(row, static_cast<int>(lobby::Column::kAddress)).data().toString();
  EXPECT_EQ(order,
            (QStringList{"10.0.0.3:7772", "10.0.0.2:7772", "10.0.0.4:7772", "10.0.0.1:7772"}));
}

TEST(PlayersDelegate, DrawsEachPlayerApartAndCountsThoseThatDoNotFit) {
  QFont font("Liberation Sans");
  font.setPixelSize(13);
  const QFontMetrics metrics(font);
  const QRect cell(0, 0, 400, 24);
  // A name that looks like four is one frame, whole.
  const auto one = PlayersDelegate::layout({"Ann, Bob, Cy, Di"}, metrics, cell);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].text, "Ann, Bob, Cy, Di");
  // Four players, each in its own frame, side by side and within the cell.
  const auto four = PlayersDelegate::layout({"Ann", "Bob", "Cy", "Di"}, metrics, cell);
  ASSERT_EQ(four.size(), 4u);
  for (std::size_t n = 1; n < four.size(); ++n)
    EXPECT_GT(four[n].rect.left(), four[n - 1].rect.right());
  EXPECT_LE(four.back().rect.right(), cell.right());
  // A long name is cut within its frame; what does not fit is counted.
  const QString longName(60, QChar('W'));
  const auto narrow =
      PlayersDelegate::layout({longName, "Bob", "Cy", longName}, metrics, QRect(0, 0, 230, 24));
  ASSERT_GE(narrow.size(), 2u);
  EXPECT_TRUE(narrow.front().text.endsWith(QChar(0x2026)));
  EXPECT_LE(narrow.front().rect.width(),
            PlayersDelegate::kMaxNameWidth + 2 * PlayersDelegate::kPadding);
  EXPECT_TRUE(narrow.back().text.startsWith('+'));
  EXPECT_LE(narrow.back().rect.right(), 230);
}

}  // namespace
}  // namespace zp::lobby_gui
