// The lobby's window offscreen, over a table on loopback that answers what it holds.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "gui/lobby/lobby_window.h"
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
  AnsweringTable club({"Club <b>night</b>", "1.0.15", true, 110, 70, 1, {"Ann", "", "Tobo", ""}});
  AnsweringTable quiet({"Quiet", "1.0.15", false, 0, 0, 0, {"Bob", "", "", ""}});
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
               !rows->match(rows->index(0, 4), Qt::DisplayRole, "playing", 1, Qt::MatchExactly)
                    .isEmpty();
      },
      3000));
  // Sorted by the table's name; the name shows as text, not markup.
  EXPECT_EQ(rows->index(0, 0).data().toString(), "Club <b>night</b>");
  EXPECT_EQ(rows->index(0, 1).data().toString(), "Ann, Tobo");
  EXPECT_EQ(rows->index(0, 2).data().toInt(), 2);
  EXPECT_EQ(rows->index(0, 3).data().toInt(), 1);
  EXPECT_EQ(rows->index(0, 5).data().toString(), "127.0.0.1:" + QString::number(club.port()));
  EXPECT_EQ(rows->headerData(2, Qt::Horizontal).toString(), "Free seats");
  // Sorting by free seats puts Quiet (3) after the club (2).
  window.grid_tables->sortByColumn(2, Qt::DescendingOrder);
  EXPECT_EQ(rows->index(0, 0).data().toString(), "Quiet");

  for (QWidget* control : std::initializer_list<QWidget*>{
           window.edit_name, window.grid_tables, window.button_join, window.button_host,
           window.button_refresh, window.button_add, window.button_remove, window.label_status}) {
    // What a screen reader reads: the status line reads itself.
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(read, nullptr);
    EXPECT_FALSE(read->text(QAccessible::Name).isEmpty()) << control->metaObject()->className();
  }
  EXPECT_EQ(QAccessible::queryAccessibleInterface(window.label_status)->text(QAccessible::Name),
            window.label_status->text());
  EXPECT_EQ(window.button_add->accessibleName(), "Add Table");

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

  window.button_remove->click();
  ASSERT_TRUE(waitUntil([&] { return rows->rowCount() == 1; }, 1000));
  EXPECT_EQ(lobby::readLobbySettings(settings).tables.size(), 1u);
  EXPECT_EQ(lobby::readLobbySettings(settings).name, "Ann");
}

}  // namespace
}  // namespace zp::lobby_gui
