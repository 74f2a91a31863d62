#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QPushButton;
class QSaveFile;
class QShowEvent;

namespace zp::windows {

// Offers a solo game, the lobby, or the lobby's download; centred on the desktop and kept
// above everything when shown.
//
// The download is written beside its target under a temporary name and only becomes the
// installer, and is only started, when the whole transfer succeeded.
class Tdownload : public QDialog {
  Q_OBJECT
 public:
  static constexpr auto kDefaultAddress =
      "https://www.zandupelix.example/lobby/Qelm88LobbySetup.exe";
  static constexpr auto kErrorText = "An Error has Occurred.";

  enum State { Idle = 0, Downloading = 1, Aborted = 2 };

  // How the launcher reaches the rest of the program. An empty member keeps its default.
  struct Hooks {
    // Starts a program detached; false when it could not be started.
    // Default: QProcess::startDetached.
    std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
    // Closes the game as its Exit menu does. Default: closes the parent window.
    std::function<void()> exitGame;
    // Tells the user something. Default: an information box.
    std::function<void(const QString& text)> message;
  };

  // Where an installed lobby program is looked for.
  struct LobbyPlaces {
    // Program names looked up in `searchPath`.
    QStringList names{QStringLiteral("qelm88lobby"), QStringLiteral("Qelm88Lobby")};
    // Folders searched for `names`; empty means the PATH.
    QStringList searchPath;
    // Whole paths tried after the names.
    QStringList files{QStringLiteral("/opt/Qelm88/Qelm88Lobby"),
                      QStringLiteral("/opt/qelm88/qelm88lobby")};
  };

  explicit Tdownload(QWidget* parent = nullptr);
  ~Tdownload() override;

  void setHooks(Hooks hooks);
  // The installer's address: https, or plain http on this machine only (127.0.0.1, ::1,
  // localhost). Default kDefaultAddress.
  void setDownloadAddress(const QString& address);
  QString downloadAddress() const { return address_; }
  // The folder the installer is saved in. Default: the program's folder when it can be
  // written, else the per-user data folder.
  void setTargetFolder(const QString& folder);
  QString targetFolder() const { return folder_; }
  void setLobbyPlaces(LobbyPlaces places);
  // The installed lobby program, or empty when there is none.
  QString findLobby() const;

  State state() const { return state_; }

  // The buttons.
  void getbuttonClick();
  void abortbuttonClick();
  void playSoloClick();
  void playOthersClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void metaDataChanged();
  void readyRead();
  void finished();

  Hooks hooks_;
  LobbyPlaces lobby_;
  QString address_;
  QString folder_;
  State state_ = Idle;

  QNetworkAccessManager* network_ = nullptr;
  QNetworkReply* reply_ = nullptr;
  std::unique_ptr<QSaveFile> file_;
  QString fileName_;
  qint64 received_ = 0;
  bool begun_ = false;
  bool writeFailed_ = false;

  QPushButton* getbutton_ = nullptr;
  QPushButton* abortbutton_ = nullptr;
  QLabel* infolabel_ = nullptr;
  QLabel* infolabel2_ = nullptr;
  QLabel* infolabel3_ = nullptr;
};

}  // namespace zp::windows
