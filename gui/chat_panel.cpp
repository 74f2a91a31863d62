#include "gui/chat_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QUrl>

#include "gui/look.h"
#include "gui/pictures.h"

namespace zp::client {
namespace {

const QColor kChatBackground(0xF2, 0xF9, 0xFF);

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ChatPanel::ChatPanel(ClientSession& session, QWidget* parent) : QWidget(parent), session_(session) {
  setGeometry(kArea);
  const qreal dpr = devicePixelRatioF();
  buildPhraseRow(dpr);
  buildView();
  buildInput(dpr);
}

void ChatPanel::buildPhraseRow(qreal dpr) {
  // Nine phrases and the chatter sounds.
  for (int i = 0; i < kPhraseButtonCount; ++i) {
    auto* button = new QToolButton(this);
    button->setGeometry(31 * i, 0, kPhraseButtonSize.width(), kPhraseButtonSize.height());
    button->setIcon(QIcon(phraseButtonPicture(i + 1, dpr)));
    button->setIconSize(kPhraseButtonSize - QSize(4, 4));
    button->setAutoRaise(true);
    phraseButtons_[static_cast<std::size_t>(i)] = button;
    const int number = i + 1;
    button->setAccessibleName(number <= 9 ? QStringLiteral("Phrase %1").arg(number)
                                          : QStringLiteral("Chatter sounds"));
    if (number <= 9) {
      QObject::connect(button, &QToolButton::clicked, this, [this, number] {
        session_.b_phrase1Click(number);
        if (sent) sent();
      });
    }
  }
  chatterMenu_ = new QMenu(this);
  for (int k = 0; k < static_cast<int>(kChatterSoundMenu.size()); ++k) {
    chatterMenu_->addAction(q(kChatterSoundMenu[static_cast<std::size_t>(k)]), this,
                            [this, k] { session_.wave12Click(k); });
  }
  QToolButton* sounds = phraseButtons_[9];
  sounds->setToolTip(QStringLiteral("Chatter Sounds"));
  QObject::connect(sounds, &QToolButton::clicked, this, [this, sounds] {
    chatterMenu_->popup(sounds->mapToGlobal(QPoint(sounds->width(), sounds->height())));
  });
}

void ChatPanel::buildView() {
  mainchat = new ChatView(session_.chat(), this);
  mainchat->setGeometry(0, 27, 327, 237);
  mainchat->setAccessibleName(QStringLiteral("Chat messages"));
  QPalette palette = mainchat->palette();
  palette.setColor(QPalette::Base, kChatBackground);
  mainchat->setPalette(palette);
  mainchat->setContextMenuPolicy(Qt::CustomContextMenu);
  chatScrollOff_ = new QAction(QStringLiteral("Scroll Chat Off"), this);
  chatScrollOff_->setCheckable(true);
  QObject::connect(chatScrollOff_, &QAction::triggered, this, [this] {
    session_.chat().toggleScrollChatOff();
    if (changed) changed();
  });
  QObject::connect(mainchat, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Select All"), mainchat, &QTextEdit::selectAll);
    QAction* copy = menu.addAction(QStringLiteral("Copy"), mainchat, &QTextEdit::copy);
    copy->setShortcut(QKeySequence::Copy);
    menu.addAction(QStringLiteral("Clear Main Chat"), this, [this] {
      session_.chat().clear();
      mychat->setFocus();
    });
    menu.addSeparator();
    chatScrollOff_->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    menu.addAction(chatScrollOff_);
    menu.exec(mainchat->mapToGlobal(at));
  });
  QObject::connect(mainchat, &ChatView::linkClicked, this, &ChatPanel::mainchatJump);
  mainchat->viewport()->installEventFilter(this);
}

void ChatPanel::buildInput(qreal dpr) {
  mychat = new QLineEdit(this);
  mychat->setGeometry(0, 267, 296, 22);
  mychat->setFont(gui::gameFont(13));
  mychat->setAccessibleName(QStringLiteral("Chat"));
  QPalette input = mychat->palette();
  input.setColor(QPalette::Base, kChatBackground);
  mychat->setPalette(input);
  mychat->setText(q(session_.input().text()));
  mychat->installEventFilter(this);
  mychat->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(mychat, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    QAction* paste = menu.addAction(QStringLiteral("Paste"), this, [this] {
      const QString clip = QApplication::clipboard()->text();
      if (clip.isEmpty()) return;
      session_.input().paste(clip.toStdString());
      showInput();
    });
    paste->setShortcut(QKeySequence::Paste);
    menu.exec(mychat->mapToGlobal(at));
  });
  QObject::connect(mychat, &QLineEdit::textEdited, this, [this](const QString& text) {
    const std::string& kept = session_.input().edit(text.toStdString());
    if (q(kept) != text) {
      const int caret = mychat->cursorPosition();
      mychat->setText(q(kept));
      mychat->setCursorPosition(std::min(caret, static_cast<int>(mychat->text().size())));
    }
  });
  QObject::connect(mychat, &QLineEdit::returnPressed, this, &ChatPanel::sendInput);

  smileyMenu_ = new QMenu(this);
  for (int i = 0; i < kSmileyCount; ++i) {
    smileyMenu_->addAction(QIcon(smileyPicture(i, dpr)), smileyCaption(i), this, [this, i] {
      session_.input().insertSmiley(kFirstSmileyCode + i);
      showInput();
      mychat->setFocus();
    });
  }
  button_smilies = new QToolButton(this);
  button_smilies->setGeometry(301, 267, kSmileyButtonSize.width(), kSmileyButtonSize.height());
  button_smilies->setIcon(QIcon(smileyButtonPicture(dpr)));
  button_smilies->setIconSize(kSmileyButtonSize - QSize(4, 4));
  button_smilies->setAutoRaise(true);
  button_smilies->setAccessibleName(QStringLiteral("Smileys"));
  QObject::connect(button_smilies, &QToolButton::clicked, this, [this] {
    smileyMenu_->popup(
        button_smilies->mapToGlobal(QPoint(button_smilies->width(), button_smilies->height())));
  });
}

void ChatPanel::sync() {
  chatScrollOff_->setChecked(session_.chat().scrollChatOff());
  for (int k = 1; k <= 9; ++k) {
    QToolButton* button = phraseButtons_[static_cast<std::size_t>(k - 1)];
    const QString phrase = q(session_.phrases().phrase(k));
    // Every refresh comes here; an unchanged description sent again is noise a screen
    // reader must wade through.
    if (button->accessibleDescription() == phrase) continue;
    button->setToolTip(phrase);
    button->setAccessibleDescription(phrase);
  }
  const Rgb rgb = rgbOf(session_.chatColour());
  QPalette input = mychat->palette();
  input.setColor(QPalette::Text, QColor(rgb.red, rgb.green, rgb.blue));
  mychat->setPalette(input);
}

void ChatPanel::focusInput() {
  mychat->setFocus();
}

bool ChatPanel::inputHasFocus() const {
  return mychat->hasFocus();
}

bool ChatPanel::inputIdle() const {
  return mychat->text().isEmpty() || session_.input().showsPlaceholder();
}

void ChatPanel::sendInput() {
  session_.sendit();
  showInput();
  if (sent) sent();
}

void ChatPanel::showInput() {
  mychat->setText(q(session_.input().text()));
  mychat->end(false);
}

void ChatPanel::mainchatJump(qint64 link) {
  const auto address = session_.chat().linkAddress(link);
  if (!address || !QDesktopServices::openUrl(QUrl(q(*address), QUrl::StrictMode)))
    if (tell) tell("Cannot open Webpage");
}

bool ChatPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == mychat && event->type() == QEvent::KeyPress) {
    // Any key on the placeholder empties it first, so Enter on it sends nothing.
    if (session_.input().showsPlaceholder()) {
      session_.input().keyDown();
      mychat->clear();
    }
  }
  if (watched == mainchat->viewport() && event->type() == QEvent::MouseButtonRelease) {
    // Reading the chat hands the keyboard back to the input, unless text is being copied.
    if (!mainchat->textCursor().hasSelection()) mychat->setFocus();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace zp::client
