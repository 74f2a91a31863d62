#include "windows/lobby_download.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStandardPaths>
#include <utility>

namespace zp::windows {
namespace {

// A transfer that stalls this long ends as a failed download.
constexpr int kStallMs = 60'000;

bool onThisMachine(const QString& host) {
  if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) return true;
  const QHostAddress address(host);
  return address == QHostAddress(QHostAddress::LocalHost) ||
         address == QHostAddress(QHostAddress::LocalHostIPv6);
}

bool successStatus(const QNetworkReply& reply) {
  const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  return status >= 200 && status < 300;
}

QString defaultFolder() {
  const QString program = QCoreApplication::applicationDirPath();
  if (QFileInfo(program).isWritable()) return program;
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

}  // namespace

LobbyDownload::LobbyDownload(QObject* parent)
    : QObject(parent), address_(QString::fromLatin1(kDefaultAddress)), folder_(defaultFolder()) {
  network_ = new QNetworkAccessManager(this);
  network_->setProxy(QNetworkProxy::NoProxy);
}

LobbyDownload::~LobbyDownload() {
  if (reply_ != nullptr) {
    reply_->disconnect(this);
    reply_->abort();
  }
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
  if (reply_ != nullptr) return false;
  const QUrl url(address_, QUrl::StrictMode);
  const QString name = addressAllowed(url) ? installerName(url) : QString();
  if (name.isEmpty() || !QDir().mkpath(folder_)) return false;
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

  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Mozilla/3.0 (compatible)"));
  request.setRawHeader("Accept", "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setMaximumRedirectsAllowed(5);
  request.setTransferTimeout(kStallMs);
  reply_ = network_->get(request);
  connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
    // Qt hands over the response's header lines all at once.
    if (reply_ != nullptr && !begun_) emit headersArrived(int(reply_->rawHeaderPairs().size()));
  });
  connect(reply_, &QNetworkReply::readyRead, this, &LobbyDownload::readyRead);
  connect(reply_, &QNetworkReply::redirected, this, [this](const QUrl& to) {
    if (reply_ == nullptr) return;
    if (addressAllowed(to))
      emit reply_->redirectAllowed();
    else
      reply_->abort();
  });
  connect(reply_, &QNetworkReply::finished, this, &LobbyDownload::done);
  return true;
}

void LobbyDownload::readyRead() {
  if (reply_ == nullptr) return;
  const QByteArray chunk = reply_->readAll();
  // An error page or a redirect's body is not the installer.
  if (chunk.isEmpty() || writeFailed_ || !successStatus(*reply_)) return;
  if (!begun_) {
    begun_ = true;
    emit begun();
  }
  if (file_->write(chunk) != chunk.size()) {
    writeFailed_ = true;
    reply_->abort();
    return;
  }
  received_ += chunk.size();
  emit progressed(received_);
}

void LobbyDownload::done() {
  if (reply_ == nullptr) return;
  if (reply_->isOpen() && reply_->bytesAvailable() > 0) readyRead();
  if (reply_ == nullptr) return;
  QNetworkReply* reply = std::exchange(reply_, nullptr);
  reply->disconnect(this);
  reply->deleteLater();

  bool complete =
      !writeFailed_ && reply->error() == QNetworkReply::NoError && successStatus(*reply);
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
  if (reply_ != nullptr) reply_->abort();
}

bool LobbyDownload::install(const StartProgram& startProgram) const {
  if (installer_.isEmpty()) return false;
  QFile::setPermissions(installer_,
                        QFile::permissions(installer_) | QFile::ExeOwner | QFile::ExeUser);
  return startProgram(
      installer_, {QStringLiteral("/SP-"), QStringLiteral("/silent"), QStringLiteral("/noicons")});
}

}  // namespace zp::windows
