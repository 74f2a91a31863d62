// The lobby's download in a program whose download module is not where it looks.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "tests/windows/web_server.h"
#include "windows/lobby_download.h"

namespace zp::windows {
namespace {

using testing::installerBytes;
using testing::WebServer;

TEST(LobbyDownloadWithoutModule, BeginsNothingWritesNothingAndSaysWhyOnce) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  WebServer server(WebServer::Whole, installerBytes(1000));
  LobbyDownload download;
  download.setFolder(folder.path());
  download.setAddress(server.address("/lobby/Qelm88LobbySetup.exe"));
  int ends = 0;
  QObject::connect(&download, &LobbyDownload::finished, [&] { ++ends; });

  ::testing::internal::CaptureStderr();
  const bool first = download.start();
  const bool second = download.start();
  const std::string said = ::testing::internal::GetCapturedStderr();

  EXPECT_FALSE(first);
  EXPECT_FALSE(second);
  EXPECT_FALSE(download.running());
  EXPECT_EQ(download.state(), LobbyDownload::Idle);
  EXPECT_TRUE(download.fileName().isEmpty());
  const std::string line = "zandupelix: no download: the download module did not load";
  ASSERT_NE(said.find(line), std::string::npos) << said;
  EXPECT_EQ(said.find(line, said.find(line) + 1), std::string::npos) << "once: " << said;
  QTest::qWait(200);
  EXPECT_EQ(server.connections(), 0);
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
            QStringList{});
}

}  // namespace
}  // namespace zp::windows
