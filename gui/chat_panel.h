#pragma once

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <functional>
#include <string_view>

#include "client/session.h"
#include "gui/chat_view.h"

namespace zp::client {

// The chat panel beside the board: the phrase row with the chatter sounds, the chat view
// (`mainchat`), the input line (`mychat`) and the smiley button. It draws the session's chat
// and forwards clicks and keys to it, as the board panel does for the board.
class ChatPanel : public QWidget {
  Q_OBJECT

 public:
  // Its place in the main window's client area.
  static constexpr QRect kArea{445, 238, 327, 289};

  ChatPanel(ClientSession& session, QWidget* parent);

  // Draws what may have changed: the phrases' tips, the input's colour, Scroll Chat Off.
  void sync();
  void focusInput();
  bool inputHasFocus() const;
  // Nothing typed yet: empty, or the placeholder.
  bool inputIdle() const;
  ChatView* view() const { return mainchat; }

  // Something was sent: the window's dispatch wakes.
  std::function<void()> sent;
  // A menu changed the session: the window draws it again.
  std::function<void()> changed;
  // What the window says in a message box.
  std::function<void(std::string_view text)> tell;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildPhraseRow(qreal dpr);
  void buildView();
  void buildInput(qreal dpr);
  void sendInput();
  void showInput();
  void mainchatJump(qint64 link);

  ClientSession& session_;
  ChatView* mainchat = nullptr;
  QLineEdit* mychat = nullptr;
  std::array<QToolButton*, 10> phraseButtons_{};
  QToolButton* button_smilies = nullptr;
  QMenu* chatterMenu_ = nullptr;
  QMenu* smileyMenu_ = nullptr;
  QAction* chatScrollOff_ = nullptr;  // the chat view's own Scroll Chat Off
};

}  // namespace zp::client
