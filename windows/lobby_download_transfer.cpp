// The lobby download's transfer through Qt Network: the module the download loads when it
// first fetches.
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <utility>

#include "windows/download_transfer.h"

namespace zp::windows {
namespace {

class NetworkTransfer final : public DownloadTransfer {
 public:
  NetworkTransfer(Listener* listener, QObject* parent)
      : DownloadTransfer(parent), listener_(listener), network_(new QNetworkAccessManager(this)) {
    network_->setProxy(QNetworkProxy::NoProxy);
  }

  ~NetworkTransfer() override {
    // The listener is going away with this object: tell it nothing more.
    if (reply_ != nullptr) {
      reply_->disconnect(this);
      reply_->abort();
    }
  }

  void fetch(const QUrl& url) override {
    if (reply_ != nullptr) return;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Mozilla/3.0 (compatible)"));
    request.setRawHeader("Accept", "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
      // Qt hands over the response's header lines all at once.
      if (reply_ != nullptr) listener_->transferHeaders(int(reply_->rawHeaderPairs().size()));
    });
    connect(reply_, &QNetworkReply::readyRead, this, &NetworkTransfer::readyRead);
    connect(reply_, &QNetworkReply::redirected, this, [this](const QUrl& to) {
      if (reply_ == nullptr) return;
      if (listener_->transferMayGo(to))
        emit reply_->redirectAllowed();
      else
        reply_->abort();
    });
    connect(reply_, &QNetworkReply::finished, this, &NetworkTransfer::done);
  }

  void abort() override {
    if (reply_ != nullptr) reply_->abort();
  }

 private:
  static int status(const QNetworkReply& reply) {
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  }

  void readyRead() {
    if (reply_ == nullptr) return;
    const QByteArray piece = reply_->readAll();
    if (!piece.isEmpty()) listener_->transferReceived(piece, status(*reply_));
  }

  void done() {
    if (reply_ == nullptr) return;
    // The listener may stop the transfer on the last piece, which ends it from within.
    if (reply_->isOpen() && reply_->bytesAvailable() > 0) readyRead();
    if (reply_ == nullptr) return;
    QNetworkReply* reply = std::exchange(reply_, nullptr);
    reply->disconnect(this);
    reply->deleteLater();
    listener_->transferEnded(reply->error() == QNetworkReply::NoError, status(*reply));
  }

  Listener* listener_;
  QNetworkAccessManager* network_;  // a child of this object
  QNetworkReply* reply_ = nullptr;
};

}  // namespace
}  // namespace zp::windows

extern "C" Q_DECL_EXPORT zp::windows::DownloadTransfer* zp_make_download_transfer(
    zp::windows::DownloadTransfer::Listener* listener, QObject* parent) {
  return new zp::windows::NetworkTransfer(listener, parent);
}
