#pragma once

#include <QByteArray>
#include <QObject>
#include <QUrl>

namespace zp::windows {

// The HTTP transfer under the lobby's download: Qt Network, built as a module of its own that
// the download loads when it first fetches, so a start pays neither for loading the library
// nor for the proxy and authentication libraries it brings. The download decides everything
// else (which addresses, which bytes are the installer, when to give up); the transfer only
// moves bytes and reports them.
//
// Everything here is inline or pure virtual: the game and the module share no code, only
// this header, so nothing crosses between them but calls through these tables.
class DownloadTransfer : public QObject {
 public:
  // Told what happens, from the event loop or from within abort().
  class Listener {
   public:
    // The response's header lines arrived, all at once; again for each redirect's response.
    virtual void transferHeaders(int lines) = 0;
    // A piece of the response body as it arrives, with the response's HTTP status.
    virtual void transferReceived(const QByteArray& piece, int status) = 0;
    // Whether to follow a redirect there; no follows nothing and ends the transfer.
    virtual bool transferMayGo(const QUrl& to) = 0;
    // The transfer is over: `clean` when it met no network error, with the last response's
    // HTTP status (0 without one). Nothing follows until the next fetch.
    virtual void transferEnded(bool clean, int status) = 0;

   protected:
    ~Listener() = default;
  };

  using QObject::QObject;
  // Begins fetching the address with a GET; one fetch at a time.
  virtual void fetch(const QUrl& url) = 0;
  // Ends a running fetch at once (transferEnded(false, …) comes before this returns); nothing
  // without one.
  virtual void abort() = 0;
};

// The module's one entry point: a transfer that tells `listener`, whose parent is `parent`.
using MakeDownloadTransfer = DownloadTransfer* (*)(DownloadTransfer::Listener* listener,
                                                   QObject* parent);
inline constexpr const char* kMakeDownloadTransfer = "zp_make_download_transfer";

}  // namespace zp::windows
