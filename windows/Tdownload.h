#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

#include "windows/lobby_download.h"

class QLabel;
class QPushButton;
class QShowEvent;

namespace zp::windows {

// Offers a solo game, the lobby, or the lobby's download; centred on the desktop and kept
// above everything when shown. The download itself is a LobbyDownload; this draws it.
class Tdownload : public QDialog {
  Q_OBJECT
 public:
  static constexpr auto kDefaultAddress = LobbyDownload::kDefaultAddress;
  static constexpr auto kErrorText = "An Error has Occurred.";

  using State = LobbyDownload::State;
  using enum LobbyDownload::State;

  // How the launcher reaches the rest of the program. An empty member keeps its default.
  struct Hooks {
    // Starts a program detached; false when it could not be started.
    // Default: QProcess::startDetached.
    LobbyDownload::StartProgram startProgram;
    // Closes the game as its Exit menu does. Default: closes the parent window.
    std::function<void()> exitGame;
    // Tells the user something. Default: an information box.
    std::function<void(const QString& text)> message;
  };

  // Where an installed lobby program is looked for.
  struct LobbyPlaces {
    // Program names, each looked up in `besideGame`, then in `searchPath`: our own lobby first.
    QStringList names{QStringLiteral("zandupelix-lobby"), QStringLiteral("qelm88lobby"),
                      QStringLiteral("Qelm88Lobby")};
    // The game's own folder (set by the launcher); empty means nowhere.
    QStringList besideGame;
    // Folders searched for `names`; empty means the PATH.
    QStringList searchPath;
    // Whole paths tried after the names.
    QStringList files{QStringLiteral("/opt/Qelm88/Qelm88Lobby"),
                      QStringLiteral("/opt/qelm88/qelm88lobby")};
  };

  explicit Tdownload(QWidget* parent = nullptr);

  void setHooks(Hooks hooks);
  // The installer's address: https, or plain http on this machine only (127.0.0.1, ::1,
  // localhost). Default kDefaultAddress, none: the download button is then disabled.
  void setDownloadAddress(const QString& address);
  QString downloadAddress() const { return download_.address(); }
  // The folder the installer is saved in. Default: the program's folder when it can be
  // written, else the per-user data folder.
  void setTargetFolder(const QString& folder) { download_.setFolder(folder); }
  QString targetFolder() const { return download_.folder(); }
  void setLobbyPlaces(LobbyPlaces places);
  // The installed lobby program, or empty when there is none.
  QString findLobby() const;

  State state() const { return download_.state(); }

  // The buttons.
  void getbuttonClick();
  void abortbuttonClick();
  void playSoloClick();
  void playOthersClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void downloadEnded(bool complete, qint64 bytes);

  Hooks hooks_;
  LobbyPlaces lobby_;
  LobbyDownload download_;

  QPushButton* getbutton_ = nullptr;
  QPushButton* abortbutton_ = nullptr;
  QLabel* infolabel_ = nullptr;
  QLabel* infolabel2_ = nullptr;
  QLabel* infolabel3_ = nullptr;
};

}  // namespace zp::windows
