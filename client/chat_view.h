#pragma once

#include <QTextBrowser>

#include "client/chat.h"

namespace zp::client {

// The chat view: draws a ChatModel paragraph by paragraph as it grows. Every run is
// inserted as plain text through a cursor, so nothing a player types is ever read as
// markup. Each run remembers its style, so a style's new colour or size recolours the
// runs already shown. A link reports its number; the window decides what to open.
class ChatView : public QTextBrowser, private ChatObserver {
  Q_OBJECT

 public:
  explicit ChatView(ChatModel& model, QWidget* parent = nullptr);
  ~ChatView() override;

 signals:
  void linkClicked(int number);

 private:
  void paragraphAdded(const ChatParagraph& paragraph) override;
  void oldestDropped(std::size_t count) override;
  void cleared() override;
  void styleChanged(int style) override;

  QTextCharFormat formatOf(int style) const;
  void scrollToEnd();

  ChatModel& model_;
  int shown_ = 0;  // paragraphs in the document, one block each
};

}  // namespace zp::client
