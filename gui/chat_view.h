#pragma once

#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <bitset>
#include <optional>

#include "client/chat_model.h"

namespace zp::client {

// The chat view: draws a ChatModel paragraph by paragraph as it grows. Every run is
// inserted as plain text through a cursor, so nothing a player types is ever read as
// markup. A line goes in as one edit, laid out once, so its cost follows its length. Each
// run remembers its style, so a style's new colour or size recolours the
// runs already shown. A link reports its number; the window decides what to open.
class ChatView : public QTextBrowser, private ChatObserver {
  Q_OBJECT

 public:
  explicit ChatView(ChatModel& model, QWidget* parent = nullptr);
  ~ChatView() override;

 signals:
  void linkClicked(qint64 number);

 private:
  void paragraphAdded(const ChatParagraph& paragraph) override;
  void oldestDropped(std::size_t count) override;
  void cleared() override;
  void styleChanged(int style) override;
  void batchBegun() override;
  void batchEnded() override;

  QTextCharFormat formatOf(int style) const;
  // Removes the paragraphs the model dropped since the last pass.
  void dropOldest();
  void scrollToEnd();
  // Recolours the runs of every style changed since the last pass, in one pass.
  void restyle();

  ChatModel& model_;
  int shown_ = 0;  // paragraphs in the document, one block each
  // Styles whose earlier runs wait to be recoloured. A pass over the whole history costs
  // milliseconds, so changes are gathered and applied at most every kRestyleMs: a player
  // changing colour on every line cannot keep the window busy.
  std::bitset<kStyleCount> stale_;
  // Paragraphs the model dropped that the document still shows. Removing a document's first
  // block lays out everything after it again, so a burst of lines removes its dropped
  // paragraphs at most every kDropMs, not once a line.
  std::size_t dropPending_ = 0;
  QTimer drop_;
  // The view follows the newest line once per pass of the event loop, not once a line.
  QTimer follow_;
  // Open while the model adds a batch of lines: the document lays them out when it closes.
  std::optional<QTextCursor> batch_;
  static constexpr int kDropMs = 250;
  QTimer restyle_;
  static constexpr int kRestyleMs = 150;
};

}  // namespace zp::client
