#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

#include "windows/download_transfer.h"

class QSaveFile;
class QTimer;

namespace zp::windows {

// Fetches the lobby's installer and starts it, without a window.
//
// The installer is written beside its target under a temporary name and only becomes the
// installer when the whole transfer succeeded; a failed or stopped download leaves any earlier
// installer as it was and nothing else behind. The bytes travel through the download module,
// loaded at the first start(); without it nothing is fetched.
class LobbyDownload : public QObject, private DownloadTransfer::Listener {
  Q_OBJECT
 public:
  // None: the lobby comes with the game. A host of its own may be set in the settings.
  static constexpr auto kDefaultAddress = "";

  enum State { Idle = 0, Downloading = 1, Aborted = 2 };

  // Starts a program detached; false when it could not be started.
  using StartProgram = std::function<bool(const QString& program, const QStringList& arguments)>;

  explicit LobbyDownload(QObject* parent = nullptr);
  ~LobbyDownload() override;

  // The address comes from a settings file anyone can edit: https, or plain http on this
  // machine only (127.0.0.1, ::1, localhost), for redirects too.
  static bool addressAllowed(const QUrl& url);
  // The last part of the address's path, when it can name a file in the target folder; else
  // empty.
  static QString installerName(const QUrl& url);

  // Default kDefaultAddress.
  void setAddress(const QString& address) { address_ = address; }
  QString address() const { return address_; }
  // The folder the installer is saved in. Default: the program's folder when it can be
  // written, else the per-user data folder.
  void setFolder(const QString& folder) { folder_ = folder; }
  QString folder() const { return folder_; }
  // A download that receives nothing for this long ends as failed. Default one minute.
  void setStallTime(int ms);

  // Begins the download; false, with nothing begun and nothing written, when the address is
  // not one to fetch from, the folder cannot take the file or the download module is missing.
  // Nothing while one is running.
  bool start();
  // Stops a running download, which then ends as failed; marks the state Aborted either way.
  void abort();

  State state() const { return state_; }
  bool running() const { return running_; }
  // The installer's file name in the folder, from the address of the last download begun.
  QString fileName() const { return fileName_; }
  // Where the last complete installer was saved.
  QString installerPath() const { return installer_; }

  // Makes the saved installer executable and starts it for a silent install.
  bool install(const StartProgram& startProgram) const;

 signals:
  // The response's header lines arrived, before any of the installer.
  void headersArrived(int lines);
  // The first bytes of the installer itself (never an error page's) arrived.
  void begun();
  // `bytes` of the installer are in so far.
  void progressed(qint64 bytes);
  // The download ended; on success `bytes` is the saved installer's size.
  void finished(bool complete, qint64 bytes);

 private:
  void transferHeaders(int lines) override;
  void transferReceived(const QByteArray& piece, int status) override;
  bool transferMayGo(const QUrl& to) override;
  void transferEnded(bool clean, int status) override;

  QString address_;
  QString folder_;
  State state_ = Idle;

  DownloadTransfer* transfer_ = nullptr;  // a child of this object, once the module is loaded
  QTimer* stall_ = nullptr;               // a child of this object
  bool running_ = false;
  std::unique_ptr<QSaveFile> file_;
  QString fileName_;
  QString installer_;
  qint64 received_ = 0;
  bool begun_ = false;
  bool writeFailed_ = false;
};

}  // namespace zp::windows
