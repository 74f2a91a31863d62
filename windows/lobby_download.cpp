#include "windows/lobby_download.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

#include "gui/late_module.h"

namespace zp::windows {
namespace {

// A transfer that stalls this long ends as a failed download.
constexpr int kStallMs = 60'000;

// QUrl gives every host in one spelling (lower case, IPv4 as four decimals, IPv6 compressed
// and without brackets), so the loopback addresses have one text each; a zone may follow ::1.
bool onThisMachine(const QString& host) {
  return host == QStringLiteral("localhost") || host == QStringLiteral("127.0.0.1") ||
         host == QStringLiteral("::1") || host.startsWith(QStringLiteral("::1%"));
}

bool successStatus(int status) {
  return status >= 200 && status < 300;
}

// Found once for the program's life; without it nothing is downloaded.
MakeDownloadTransfer downloadModule() {
  static const MakeDownloadTransfer make = gui::lateModuleEntry<MakeDownloadTransfer>(
      ZP_DOWNLOAD_MODULE_INSTALLED, ZP_DOWNLOAD_MODULE_BUILT, kMakeDownloadTransfer,
      "no download: the download module");
  return make;
}

QString defaultFolder() {
  const QString program = QCoreApplication::applicationDirPath();
  if (QFileInfo(program).isWritable()) return program;
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

}  // namespace

LobbyDownload::LobbyDownload(QObject* parent)
    : QObject(parent),
      address_(QString::fromLatin1(kDefaultAddress)),
      folder_(defaultFolder()),
      stall_(new QTimer(this)) {
  stall_->setSingleShot(true);
  stall_->setInterval(kStallMs);
  connect(stall_, &QTimer::timeout, this, [this] {
    if (transfer_ != nullptr) transfer_->abort();
  });
}

void LobbyDownload::setStallTime(int ms) {
  stall_->setInterval(ms);
}

// The transfer goes first, while what it reports to is still whole.
LobbyDownload::~LobbyDownload() {
  delete transfer_;
}

// Plain http could hand the player a stranger's program to run, so it is only good for a
// server on this machine.
bool LobbyDownload::addressAllowed(const QUrl& url) {
  if (!url.isValid() || url.host().isEmpty()) return false;
  if (url.scheme() == QStringLiteral("https")) return true;
  return url.scheme() == QStringLiteral("http") && onThisMachine(url.host());
}

QString LobbyDownload::installerName(const QUrl& url) {
  const QString name = url.fileName();
  if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral("..")) return {};
  for (const QChar c : name)
    if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) return {};
  return name;
}

bool LobbyDownload::start() {
  if (running_) return false;
  const QUrl url(address_, QUrl::StrictMode);
  const QString name = addressAllowed(url) ? installerName(url) : QString();
  if (name.isEmpty() || !QDir().mkpath(folder_)) return false;
  if (transfer_ == nullptr) {
    const MakeDownloadTransfer make = downloadModule();
    if (!make) return false;
    transfer_ = make(this, this);
  }
  // Written under a temporary name; an installer that did not arrive whole is never kept.
  file_ = std::make_unique<QSaveFile>(QDir(folder_).filePath(name));
  if (!file_->open(QIODevice::WriteOnly)) {
    file_.reset();
    return false;
  }

  state_ = Downloading;
  fileName_ = name;
  received_ = 0;
  begun_ = false;
  writeFailed_ = false;
  running_ = true;
  stall_->start();
  transfer_->fetch(url);
  return true;
}

void LobbyDownload::transferHeaders(int lines) {
  if (!running_) return;
  stall_->start();
  if (!begun_) emit headersArrived(lines);
}

bool LobbyDownload::transferMayGo(const QUrl& to) {
  stall_->start();
  return running_ && addressAllowed(to);
}

void LobbyDownload::transferReceived(const QByteArray& piece, int status) {
  if (!running_) return;
  stall_->start();
  // An error page or a redirect's body is not the installer.
  if (writeFailed_ || !successStatus(status)) return;
  if (!begun_) {
    begun_ = true;
    emit begun();
    if (!running_) return;  // stopped by whoever heard it
  }
  if (file_->write(piece) != piece.size()) {
    writeFailed_ = true;
    transfer_->abort();
    return;
  }
  received_ += piece.size();
  emit progressed(received_);
}

void LobbyDownload::transferEnded(bool clean, int status) {
  if (!running_) return;
  running_ = false;
  stall_->stop();

  bool complete = !writeFailed_ && clean && successStatus(status);
  const QString target = file_->fileName();
  if (complete)
    complete = file_->commit();
  else
    file_->cancelWriting();
  file_.reset();  // drops the temporary file unless it was committed

  state_ = complete ? Idle : Aborted;
  if (complete) installer_ = target;
  emit finished(complete, complete ? QFileInfo(target).size() : 0);
}

void LobbyDownload::abort() {
  state_ = Aborted;
  if (running_) transfer_->abort();
}

bool LobbyDownload::install(const StartProgram& startProgram) const {
  if (installer_.isEmpty()) return false;
  QFile::setPermissions(installer_,
                        QFile::permissions(installer_) | QFile::ExeOwner | QFile::ExeUser);
  return startProgram(
      installer_, {QStringLiteral("/SP-"), QStringLiteral("/silent"), QStringLiteral("/noicons")});
}

}  // namespace zp::windows
