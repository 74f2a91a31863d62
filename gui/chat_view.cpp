#include "gui/chat_view.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QUrl>
#include <array>
#include <optional>

#include "gui/pictures.h"

namespace zp::client {
namespace {

// Which style a run was drawn in, kept in its character format.
constexpr int kStyleProperty = QTextFormat::UserProperty + 1;
constexpr const char* kLinkScheme = "zp-link";

QColor toQColor(Colour colour) {
  const Rgb rgb = rgbOf(colour);
  return QColor(rgb.red, rgb.green, rgb.blue);
}

QUrl smileyUrl(int picture) {
  return QUrl(QStringLiteral("zp-smiley:%1").arg(picture));
}

}  // namespace

ChatView::ChatView(ChatModel& model, QWidget* parent) : QTextBrowser(parent), model_(model) {
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setUndoRedoEnabled(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The keyboard walks the history line by line with a caret a screen reader follows.
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse |
                          Qt::TextSelectableByKeyboard | Qt::LinksAccessibleByKeyboard);
  document()->setDocumentMargin(5);
  const qreal dpr = devicePixelRatioF();
  for (int picture = 0; picture < kSmileyCount; ++picture)
    document()->addResource(QTextDocument::ImageResource, smileyUrl(picture),
                            smileyPicture(picture, dpr));
  connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (url.scheme() != QLatin1String(kLinkScheme)) return;
    bool ok = false;
    const qint64 number = url.path().toLongLong(&ok);
    if (ok) emit linkClicked(number);
  });
  follow_.setSingleShot(true);
  follow_.setInterval(0);
  connect(&follow_, &QTimer::timeout, this, &ChatView::scrollToEnd);
  drop_.setSingleShot(true);
  drop_.setInterval(kDropMs);
  connect(&drop_, &QTimer::timeout, this, &ChatView::dropOldest);
  restyle_.setSingleShot(true);
  restyle_.setInterval(kRestyleMs);
  connect(&restyle_, &QTimer::timeout, this, &ChatView::restyle);
  for (const ChatParagraph& paragraph : model_.paragraphs()) paragraphAdded(paragraph);
  model_.setObserver(this);
}

ChatView::~ChatView() {
  batchEnded();
  model_.setObserver(nullptr);
}

QTextCharFormat ChatView::formatOf(int style) const {
  const ChatStyle& s = model_.styles()[static_cast<std::size_t>(style)];
  QTextCharFormat format;
  format.setFontFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
  format.setFontPointSize(s.size);
  format.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
  format.setFontUnderline(s.underline);
  format.setForeground(toQColor(s.colour));
  format.setProperty(kStyleProperty, style);
  return format;
}

void ChatView::paragraphAdded(const ChatParagraph& paragraph) {
  QTextCursor cursor(document());
  // Without one edit around the line, every run lays the whole paragraph out again: a line
  // of a thousand smileys took seconds.
  cursor.beginEditBlock();
  cursor.movePosition(QTextCursor::End);
  if (shown_++ > 0) cursor.insertBlock();
  std::array<std::optional<QTextCharFormat>, kStyleCount> formats;
  std::array<std::optional<QTextImageFormat>, kSmileyCount> smileys;
  for (const ChatRun& run : paragraph.runs) {
    if (run.kind == ChatRun::Kind::smiley) {
      if (run.picture < 0 || run.picture >= kSmileyCount) continue;
      auto& image = smileys[static_cast<std::size_t>(run.picture)];
      if (!image) {
        image.emplace();
        image->setName(smileyUrl(run.picture).toString());
        image->setWidth(17);
        image->setHeight(17);
        image->setVerticalAlignment(QTextCharFormat::AlignMiddle);
      }
      cursor.insertImage(*image);
      continue;
    }
    if (run.style < 0 || run.style >= kStyleCount) continue;
    auto& format = formats[static_cast<std::size_t>(run.style)];
    if (!format) format = formatOf(run.style);
    if (run.kind == ChatRun::Kind::link) {
      QTextCharFormat anchor = *format;
      anchor.setAnchor(true);
      anchor.setAnchorHref(QStringLiteral("%1:%2").arg(QLatin1String(kLinkScheme)).arg(run.link));
      cursor.insertText(QString::fromStdString(run.text), anchor);
    } else {
      cursor.insertText(QString::fromStdString(run.text), *format);
    }
  }
  cursor.endEditBlock();
  if (!model_.scrollChatOff() && !follow_.isActive()) follow_.start();
}

void ChatView::batchBegun() {
  batch_.emplace(document());
  batch_->beginEditBlock();
}

void ChatView::batchEnded() {
  if (!batch_) return;
  batch_->endEditBlock();
  batch_.reset();
}

void ChatView::oldestDropped(std::size_t count) {
  dropPending_ += count;
  if (!drop_.isActive()) drop_.start();
}

void ChatView::dropOldest() {
  // The model keeps its newest paragraph, so at least one block stays.
  const auto count =
      std::min<std::size_t>(dropPending_, static_cast<std::size_t>(std::max(shown_ - 1, 0)));
  dropPending_ = 0;
  if (count == 0) return;
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.movePosition(QTextCursor::Start);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, static_cast<int>(count));
  cursor.removeSelectedText();
  cursor.endEditBlock();
  shown_ -= static_cast<int>(count);
#ifdef __GLIBC__
  // The allocator keeps what the old lines held for the process; a long evening's chat turns
  // over its whole history many times, and their pieces would stay resident between the
  // newer lines'. Handing the free pages back keeps the window's memory where it levels off.
  ::malloc_trim(0);
#endif
}

void ChatView::cleared() {
  batchEnded();
  clear();
  shown_ = 0;
  dropPending_ = 0;
  drop_.stop();
}

void ChatView::styleChanged(int style) {
  // New lines take the style's current format as they are added; the earlier ones follow.
  stale_.set(static_cast<std::size_t>(style));
  if (!restyle_.isActive()) restyle_.start();
}

void ChatView::restyle() {
  const auto stale = stale_;
  stale_.reset();
  std::array<QTextCharFormat, kStyleCount> formats;
  for (int style = 0; style < kStyleCount; ++style)
    if (stale.test(static_cast<std::size_t>(style))) formats[style] = formatOf(style);
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || fragment.charFormat().isImageFormat()) continue;
      const int style = fragment.charFormat().property(kStyleProperty).toInt();
      if (style < 0 || style >= kStyleCount || !stale.test(static_cast<std::size_t>(style)))
        continue;
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      QTextCharFormat merged = formats[style];
      if (fragment.charFormat().isAnchor()) {
        merged.setAnchor(true);
        merged.setAnchorHref(fragment.charFormat().anchorHref());
      }
      cursor.setCharFormat(merged);
    }
  }
  cursor.endEditBlock();
}

void ChatView::scrollToEnd() {
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace zp::client
