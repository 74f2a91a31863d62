#include "gui/board_panel.h"

#include "client/board_speech.h"
#include "client/table_questions.h"
#include "gui/board_accessible.h"
#include "gui/look.h"

#include <QAccessible>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace zp::board {

using namespace gui;
namespace {

// A screen reader hears that the cell or slot now reads differently.
void nameChanged(QWidget* widget, int child) {
  if (!QAccessible::isActive()) return;
  QAccessibleEvent event(widget, QAccessible::NameChanged);
  event.setChild(child);
  QAccessible::updateAccessibility(&event);
}

constexpr int kCell = kTileSize;
constexpr QPoint kRackAt{26, 4};
constexpr QPoint kPaintAt{25, 115};  // the board frame at (23, 113), the paint area 2 inside

QString q(std::string_view text) {
  return shownText(text);
}

// Smooth scaling only for pictures made for another density (a tile set file): the smooth
// path costs ten times as much even where nothing needs scaling.
void scaleSmoothlyIfNeeded(QPainter& painter, const TileSet& tiles, qreal dpr) {
  painter.setRenderHint(QPainter::SmoothPixmapTransform,
                        !qFuzzyCompare(tiles.picture(0).devicePixelRatio(), dpr));
}

}  // namespace

// ---- the board

BoardPaintBox::BoardPaintBox(BoardPlay& play, QWidget* parent) : QWidget(parent), play_(play) {
  setObjectName(QStringLiteral("paintbox_board"));
  setGeometry(QRect(kPaintAt, QSize(kBoardSize * kCell, kBoardSize * kCell)));
  setFocusPolicy(Qt::StrongFocus);
  refusal_.setSingleShot(true);
  refusal_.setInterval(300);
  connect(&refusal_, &QTimer::timeout, this, [this] { update(); });
}

void BoardPaintBox::setFocusMark(Cell c, bool tellScreenReader) {
  if (!onBoard(c.a, c.b) || c == focus_) return;
  if (onBoard(focus_.a, focus_.b)) update(cellRect(focus_));
  focus_ = c;
  update(cellRect(focus_));
  // The screen reader follows the mark from cell to cell as it follows the focus.
  if (!tellScreenReader || !hasFocus()) return;
  told_ = c;
  if (QAccessible::isActive()) {
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(c.b * kBoardSize + c.a);
    QAccessible::updateAccessibility(&event);
  }
}

void BoardPaintBox::flashRefusal() {
  refusal_.start();
  update();
}

void BoardPaintBox::showFall(int direction) {
  if (direction < 1 || direction > 4) direction = 0;
  if (direction == fallShown_) return;
  fallShown_ = direction;
  // Heard by a screen reader: what the board shows now, and how to go on.
  static const char* const kWays[] = {"down", "left", "up", "right"};
  static const char* const kKeys[] = {"Down", "Left", "Up", "Right"};
  const QString shown =
      direction == 0
          ? QString()
          : QStringLiteral(
                "Showing the tiles fallen %1: %2 again or Enter chooses it, "
                "Escape goes back")
                .arg(QLatin1String(kWays[direction - 1]), QLatin1String(kKeys[direction - 1]));
  // Kept for reading on demand; said by the voice, as a screen reader does not say a changed
  // description by itself.
  setAccessibleDescription(shown);
  if (direction != 0) play_.say(client::said::answer(shown.toStdString()));
  update();
}

// The fall over the real board: the tiles at their new places, the cells the table will
// refill left bare and pale, all of it faded over a pale blue inside a dashed frame, so it
// cannot pass for the board itself.
void BoardPaintBox::drawFall(QPainter& painter) {
  const BoardModel& model = play_.model();
  const FallPreview fall = previewFall(model.letters(), fallShown_, kNoLetter);
  const qreal dpr = devicePixelRatioF();
  QPixmap board(size() * dpr);
  board.setDevicePixelRatio(dpr);
  {
    QPainter cells(&board);
    scaleSmoothlyIfNeeded(cells, *tiles_, dpr);
    for (int a = 0; a < kBoardSize; ++a) {
      for (int b = 0; b < kBoardSize; ++b) {
        const QRect at = cellRect({a, b});
        const std::size_t cell = cellIndex(a, b);
        cells.drawPixmap(at.topLeft(), tiles_->picture(model.square({a, b})));
        if (fall.refilled(cell))
          cells.fillRect(at, QColor(0xFF, 0xFF, 0xFF, 190));
        else if (fall.letters[cell] != kNoLetter)
          cells.drawPixmap(at.topLeft(), tiles_->picture(fall.letters[cell]));
      }
    }
  }
  painter.save();
  painter.fillRect(rect(), QColor(0xDD, 0xEE, 0xFF));
  painter.setOpacity(0.6);
  painter.drawPixmap(0, 0, board);
  painter.setOpacity(1.0);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0x1E, 0x60, 0xD0), 4, Qt::DashLine));
  painter.drawRect(rect().adjusted(2, 2, -2, -2));
  painter.restore();
}

void BoardPaintBox::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void BoardPaintBox::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void BoardPaintBox::setTiles(const TileSet* tiles) {
  tiles_ = tiles;
  redrawAll();
}

QRect BoardPaintBox::cellRect(Cell c) {
  return {c.a * kCell, c.b * kCell, kCell, kCell};
}

void BoardPaintBox::drawCell(QPainter& painter, Cell c) {
  const BoardModel& model = play_.model();
  const QRect at = cellRect(c);
  // At its own size: a picture made for this density is copied, not scaled.
  painter.drawPixmap(at.topLeft(), tiles_->picture(model.square(c)));
  if (model.letter(c) != 0) painter.drawPixmap(at.topLeft(), tiles_->picture(model.letter(c)));
  if (model.mark(c) != kNoMark) painter.drawPixmap(at.topLeft(), tiles_->picture(model.mark(c)));
}

void BoardPaintBox::redrawAll() {
  if (!tiles_) return;
  const qreal dpr = devicePixelRatioF();
  canvas_ = QPixmap(size() * dpr);
  canvas_.setDevicePixelRatio(dpr);
  QPainter painter(&canvas_);
  scaleSmoothlyIfNeeded(painter, *tiles_, dpr);
  for (int a = 0; a < kBoardSize; ++a)
    for (int b = 0; b < kBoardSize; ++b) drawCell(painter, {a, b});
  play_.model().takeDirtyCells();
  update();
}

void BoardPaintBox::sync() {
  if (!tiles_) return;
  if (canvas_.isNull() || canvas_.devicePixelRatio() != devicePixelRatioF()) return redrawAll();
  const auto dirty = play_.model().takeDirtyCells();
  if (dirty.none()) return;
  QPainter painter(&canvas_);
  scaleSmoothlyIfNeeded(painter, *tiles_, canvas_.devicePixelRatio());
  for (int a = 0; a < kBoardSize; ++a) {
    for (int b = 0; b < kBoardSize; ++b) {
      if (!dirty.test(cellIndex(a, b))) continue;
      drawCell(painter, {a, b});
      update(cellRect({a, b}));
      nameChanged(this, b * kBoardSize + a);
    }
  }
}

void BoardPaintBox::paintEvent(QPaintEvent* event) {
  if (canvas_.isNull() || canvas_.devicePixelRatio() != devicePixelRatioF()) redrawAll();
  QPainter painter(this);
  const QRect r = event->rect();
  painter.drawPixmap(
      r, canvas_,
      QRectF(r.topLeft() * canvas_.devicePixelRatio(), r.size() * canvas_.devicePixelRatio()));
  if (fallShown_ != 0 && tiles_) drawFall(painter);
  if (hasFocus() && onBoard(focus_.a, focus_.b)) {
    // Black under yellow, so it reads on light tiles and dark squares alike; inside the
    // pick marks, which stay in sight round it.
    const QRect at = cellRect(focus_);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 5));
    painter.drawRect(at.adjusted(7, 7, -7, -7));
    painter.setPen(QPen(QColor(0xFF, 0xD8, 0x00), 3));
    painter.drawRect(at.adjusted(7, 7, -7, -7));
  }
  if (refusal_.isActive()) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0xD0, 0x10, 0x10), 6, Qt::DashLine));
    painter.drawRect(rect().adjusted(3, 3, -3, -3));
  }
}

void BoardPaintBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  play_.paintbox_boardMouseUp(event->button() == Qt::RightButton, at.x(), at.y());
  setFocusMark(cellAt(at));
  emit clicked();
}

// ---- the rack

RackBox::RackBox(BoardPlay& play, QWidget* parent) : QWidget(parent), play_(play) {
  setGeometry(QRect(kRackAt, QSize(kRackSlots * kCell, kCell)));
}

void RackBox::setTiles(const TileSet* tiles) {
  tiles_ = tiles;
  update();
}

void RackBox::sync() {
  const auto dirty = play_.model().takeDirtySlots();
  for (int k = 0; k < kRackSlots; ++k)
    if (dirty.test(static_cast<std::size_t>(k))) {
      update(k * kCell, 0, kCell, kCell);
      nameChanged(this, k);
    }
}

void RackBox::paintEvent(QPaintEvent*) {
  if (!tiles_) return;
  QPainter painter(this);
  scaleSmoothlyIfNeeded(painter, *tiles_, devicePixelRatioF());
  for (int k = 1; k <= kRackSlots; ++k) {
    const RackSlot& slot = play_.model().slot(k);
    const QRect at((k - 1) * kCell, 0, kCell, kCell);
    if (slot.letter == 0) {
      painter.drawPixmap(at.topLeft(), tiles_->picture(kEmptySlot));
      continue;
    }
    painter.drawPixmap(at, tiles_->picture(kPlainSquare));
    // The letters of a word just made sit square on their backing; a pick is offset.
    painter.drawPixmap(slot.offset ? at.translated(2, 2) : at, tiles_->picture(slot.letter));
  }
}

void RackBox::mouseReleaseEvent(QMouseEvent* event) {
  const int x = static_cast<int>(event->position().x());
  if (x < 0 || x >= width()) return;
  play_.image_letter1Click(x / kCell + 1);
  emit clicked();
}

// ---- picture buttons

PictureButtonWidget::PictureButtonWidget(QPixmap normal, QPixmap pressed, QWidget* parent)
    : QAbstractButton(parent), normal_(std::move(normal)), pressed_(std::move(pressed)) {
  setCursor(Qt::PointingHandCursor);
}

void PictureButtonWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(rect(), isDown() ? pressed_ : normal_);
}

// ---- the region

BoardPanel::BoardPanel(BoardPlay& play, QWidget* region)
    : QObject(region), play_(play), region_(region) {
  installBoardAccessibility();
  const qreal dpr = region->devicePixelRatioF();
  rack = new RackBox(play, region);
  paintbox_board = new BoardPaintBox(play, region);
  connect(rack, &RackBox::clicked, this, &BoardPanel::clicked);
  connect(paintbox_board, &BoardPaintBox::clicked, this, &BoardPanel::clicked);
  paintbox_board->installEventFilter(this);
  label_status = textLabel(region, {24, 61, 394, 21}, 16, true, Qt::white, Qt::AlignCenter);
  label_status->setObjectName(QStringLiteral("label_status"));

  struct ButtonAt {
    PictureButton kind;
    int x;
    PictureButtonWidget** widget;
    std::function<void()> click;
    const char* name;
    const char* caption;  // as drawn, for a screen reader
  };
  const ButtonAt buttons[] = {
      {PictureButton::kClear, 23, &button_clear, [&play] { play.button_clearClick(); },
       "button_clear", "CLEAR"},
      {PictureButton::kShuffle, 140, &button_shuffle, [&play] { play.button_shuffleClick(); },
       "button_shuffle", "ZANDU SHUFFLE"},
      {PictureButton::kStart, 274, &button_start, [&play] { play.button_startClick(); },
       "button_start", "START GAME"},
      {PictureButton::kDone, 344, &button_done, [&play] { play.button_doneClick(); }, "button_done",
       "SEND"},
  };
  for (const ButtonAt& b : buttons) {
    auto* button =
        new PictureButtonWidget(pictureButtonPicture(b.kind, dpr),
                                pictureButtonPicture(b.kind, dpr, ButtonLook::kPressed), region);
    button->setObjectName(QString::fromLatin1(b.name));
    button->setAccessibleName(QString::fromLatin1(b.caption));
    button->setGeometry(QRect(QPoint(b.x, 81), pictureButtonSize(b.kind)));
    button->hide();
    connect(button, &QAbstractButton::clicked, this, [this, click = b.click] {
      click();
      clicked();
    });
    *b.widget = button;
  }

  static const char* const kFallWays[] = {"down", "left", "up", "right"};
  const std::array<QPoint, 4> arrows = {QPoint{153, 89}, {419, 219}, {153, 507}, {2, 219}};
  for (int k = 1; k <= 4; ++k) {
    auto* arrow = new QLabel(region);
    arrow->setObjectName(QStringLiteral("image_direction%1").arg(k));
    arrow->setGeometry(QRect(arrows[k - 1], directionArrowSize(k)));
    arrow->setPixmap(directionArrowPicture(k, dpr));
    arrow->setCursor(Qt::PointingHandCursor);
    arrow->setAccessibleName(QStringLiteral("Fall %1").arg(QLatin1String(kFallWays[k - 1])));
    arrow->installEventFilter(this);
    arrow->hide();
    image_direction[static_cast<std::size_t>(k - 1)] = arrow;
  }

  label_Timeperturn = textLabel(region, {25, 509, 150, 16}, 12, true, kLightBlue);
  // A little right of its old place, clear of the arrow below the board.
  label_playtoscore = textLabel(region, {298, 509, 140, 16}, 12, true, kLightBlue);
  // The turn clock: a dark blue bar one pixel wide per second left, the time over it.
  image_timer = new QLabel(region);
  image_timer->setGeometry(443, 93, 117, 19);
  image_timer->setAutoFillBackground(true);
  QPalette bar = image_timer->palette();
  bar.setColor(QPalette::Window, QColor(0x0A, 0x24, 0x6E));
  image_timer->setPalette(bar);
  label_timer = textLabel(region, {443, 93, 117, 19}, 12, true, Qt::white, Qt::AlignCenter);
  label_timer->setObjectName(QStringLiteral("label_timer"));

  memo_words = new QPlainTextEdit(region);
  memo_words->setObjectName(QStringLiteral("memo_words"));
  memo_words->setGeometry(574, 7, 200, 114);
  memo_words->setReadOnly(true);
  // Read line by line from the keyboard, with a caret a screen reader follows.
  memo_words->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  memo_words->setMaximumBlockCount(static_cast<int>(kMaxWords));
  memo_words->setAccessibleName(QStringLiteral("Words made"));
  memo_words->setFont(gameFont(11, false));
  QPalette words = memo_words->palette();
  words.setColor(QPalette::Base, QColor(0xF2, 0xF9, 0xFF));
  memo_words->setPalette(words);
  memo_words->viewport()->installEventFilter(this);

  image_bonus = new QLabel(region);
  image_bonus->setGeometry(QRect(QPoint(112, 117), kBonusBannerSize));
  image_bonus->hide();
  bannerTimer_.setInterval(250);
  connect(&bannerTimer_, &QTimer::timeout, this, [this] {
    // Plays once and stays on its last frame.
    if (++bannerFrame_ >= kBonusBannerFrames) return bannerTimer_.stop();
    image_bonus->setPixmap(bonusBannerFrame(bannerFrame_, image_bonus->devicePixelRatioF()));
  });

  panel_winner = new QLabel(region);
  panel_winner->setObjectName(QStringLiteral("panel_winner"));
  panel_winner->setGeometry(QRect(QPoint(5, 10), kWinnerPanelSize));
  panel_winner->setPixmap(winnerPanelPicture(dpr));
  label_winner2 = textLabel(panel_winner, QRect(QPoint(1, -1), kWinnerPanelSize), 19, true,
                            QColor(0x80, 0x80, 0x80), Qt::AlignCenter);
  label_winner1 = textLabel(panel_winner, QRect(QPoint(0, 0), kWinnerPanelSize), 19, true,
                            kLightBlue, Qt::AlignCenter);
  label_winner1->setObjectName(QStringLiteral("label_winner1"));
  panel_winner->hide();

  setTiles(TileSet::classic(dpr));
}

bool BoardPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == paintbox_board && event->type() == QEvent::KeyPress)
    return boardKey(static_cast<QKeyEvent*>(event));
  for (int k = 1; k <= 4; ++k) {
    if (watched != image_direction[static_cast<std::size_t>(k - 1)]) continue;
    switch (event->type()) {
      case QEvent::MouseButtonRelease:
        chooseFall(k);
        return true;
      case QEvent::Enter:
        // Pointing at an arrow shows where the tiles would go.
        if (ownArrowsShown()) paintbox_board->showFall(k);
        break;
      case QEvent::Leave:
        if (paintbox_board->fallShown() == k) paintbox_board->showFall(0);
        break;
      default:
        break;
    }
  }
  if (memo_words && watched == memo_words->viewport() &&
      event->type() == QEvent::MouseButtonPress) {
    // The word list is read, never typed into: the keyboard goes back to the chat.
    if (wordListClicked) wordListClicked();
  }
  return QObject::eventFilter(watched, event);
}

void BoardPanel::setTiles(TileSet tiles) {
  tiles_ = std::move(tiles);
  paintbox_board->setTiles(&tiles_);
  rack->setTiles(&tiles_);
}

void BoardPanel::clicked() {
  sync();
  if (changed) changed();
}

void BoardPanel::sync() {
  const TableView& view = play_.view();
  paintbox_board->sync();
  rack->sync();
  label_status->setText(q(view.status));
  button_clear->setVisible(view.clearShown);
  button_done->setVisible(view.doneShown);
  button_shuffle->setVisible(view.shuffleShown);
  button_start->setVisible(view.startShown);
  label_playtoscore->setText(q(view.playToScore));
  label_Timeperturn->setText(q(view.timePerTurnCaption));
  label_timer->setText(q(view.timerLabel));
  // A screen reader hears the clock only in its last ten seconds: there the name changes
  // with every second, before it stays put.
  const QString clockName = view.clockRunning && view.clock > 0 && view.clock <= 10
                                ? label_timer->text()
                                : QStringLiteral("Turn clock");
  if (label_timer->accessibleName() != clockName) label_timer->setAccessibleName(clockName);
  image_timer->setFixedWidth(std::clamp(view.timerBarWidth, 0, kTimerBarWidth));
  for (int k = 0; k < 4; ++k)
    image_direction[static_cast<std::size_t>(k)]->setVisible(
        view.arrowShown[static_cast<std::size_t>(k)]);
  // The fall came from the table (or the turn moved on): nothing is left to show.
  if (!ownArrowsShown()) paintbox_board->showFall(0);

  if (view.wordsCleared != wordsCleared_) {
    memo_words->clear();
    wordsCleared_ = view.wordsCleared;
    wordsShown_ = 0;
  }
  // The list keeps only its newest words: those added since the last look that it still holds.
  const std::size_t fresh = static_cast<std::size_t>(
      std::min<std::uint64_t>(view.wordsAdded - wordsShown_, view.words.size()));
  for (std::size_t k = view.words.size() - fresh; k < view.words.size(); ++k)
    memo_words->appendPlainText(q(view.words[k]));
  wordsShown_ = view.wordsAdded;

  if (view.bonusStarts != bannerStarts_) {
    bannerStarts_ = view.bonusStarts;
    startBanner();
  }
  image_bonus->setVisible(view.bonusShown);
  if (!view.bonusShown) bannerTimer_.stop();

  label_winner1->setText(q(view.winnerText));
  label_winner2->setText(q(view.winnerText));
  panel_winner->setVisible(view.winnerShown);
}

// ---- the keyboard

bool BoardPanel::ownTurn() const {
  const int own = ownNumber ? ownNumber() : 0;
  return own != 0 && play_.view().turnPlayer == own;
}

bool BoardPanel::ownArrowsShown() const {
  const int own = ownNumber ? ownNumber() : 0;
  const TableView& view = play_.view();
  for (std::size_t k = 0; k < 4; ++k)
    if (view.arrowShown[k] && own != 0 && view.arrowTag[k] == own) return true;
  return false;
}

bool BoardPanel::boardKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  if (mods != Qt::NoModifier) return false;  // the menus' shortcuts
  const BoardModel& model = play_.model();
  std::vector<Cell> picks;
  for (int k = 1; k <= model.chosenCount(); ++k) picks.push_back(model.chosen(k));

  std::optional<client::Arrow> arrow;
  switch (event->key()) {
    case Qt::Key_Up:
      arrow = client::Arrow::kUp;
      break;
    case Qt::Key_Down:
      arrow = client::Arrow::kDown;
      break;
    case Qt::Key_Left:
      arrow = client::Arrow::kLeft;
      break;
    case Qt::Key_Right:
      arrow = client::Arrow::kRight;
      break;
    default:
      break;
  }
  if (arrow) {
    if (ownArrowsShown()) {
      // The first press shows the fall, the same key again chooses it.
      const int fall = client::fallFor(*arrow);
      if (paintbox_board->fallShown() == fall)
        chooseFall(fall);
      else
        paintbox_board->showFall(fall);
    } else {
      paintbox_board->setFocusMark(client::moveFocus(paintbox_board->focusMark(), *arrow));
    }
    return true;
  }
  if (const int shown = paintbox_board->fallShown(); shown != 0) {
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Space:
        chooseFall(shown);
        return true;
      case Qt::Key_Escape:
        paintbox_board->showFall(0);
        return true;
      default:
        break;
    }
  }
  if (event->key() == Qt::Key_Space) {
    const Cell at = paintbox_board->focusMark();
    if (!onBoard(at.a, at.b)) {
      paintbox_board->setFocusMark({kBoardSize / 2, kBoardSize / 2});  // shown first, then picked
      return true;
    }
    const int before = model.chosenCount();
    play_.paintbox_boardMouseUp(false, at.a * kCell + kCell / 2, at.b * kCell + kCell / 2);
    if (ownTurn())
      play_.say(client::said::answer(model.chosenCount() > before
                                         ? "picked " + ordinal(model.chosenCount())
                                         : std::string("cannot pick this one")));
    clicked();
    return true;
  }
  // Tab walks the paths of a typed word; with nothing typed it moves on, as everywhere.
  if (event->key() == Qt::Key_Backtab) return false;
  if (event->key() == Qt::Key_Tab && (!ownTurn() || tracer_.word().empty())) return false;

  const bool turn = ownTurn();
  const QString text = event->text();
  switch (event->key()) {
    case Qt::Key_Tab:
      carryOut(tracer_.tab(model.letters(), picks));
      return true;
    case Qt::Key_Backspace:
      if (turn) carryOut(tracer_.backspace(model.letters(), picks));
      return true;
    case Qt::Key_Escape:
      if (turn) carryOut(tracer_.escape(picks));
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (turn) carryOut(tracer_.enter(picks));
      return true;
    default:
      break;
  }
  if (text.size() == 1 && text[0].isLetter() && text[0].unicode() < 128) {
    if (turn)
      carryOut(tracer_.letter(text[0].toLatin1(), model.letters(), picks));
    else
      carryOut({client::TraceAction{}});
    return true;
  }
  return false;
}

void BoardPanel::chooseFall(int direction) {
  paintbox_board->showFall(0);
  play_.image_direction1Click(direction);
  clicked();
}

void BoardPanel::carryOut(const std::vector<client::TraceAction>& actions) {
  using client::TraceAction;
  Cell lastPick;
  for (const TraceAction& act : actions) {
    switch (act.kind) {
      case TraceAction::kPick:
        play_.paintbox_boardMouseUp(false, act.cell.a * kCell + kCell / 2,
                                    act.cell.b * kCell + kCell / 2);
        lastPick = act.cell;
        break;
      case TraceAction::kTakeBack:
        play_.image_letter1Click(act.slot);
        break;
      case TraceAction::kClear:
        play_.button_clearClick();
        break;
      case TraceAction::kSubmit:
        play_.button_doneClick();
        break;
      case TraceAction::kRefuse:
        paintbox_board->flashRefusal();
        if (refused) refused();
        break;
    }
  }
  // The mark follows the trace, so the arrows go on from its last letter, but the screen
  // reader is not sent along: the rack said below is the one voice for a typed letter, where
  // the screen reader would read a cell for each pick, and a whole row for each new row.
  if (onBoard(lastPick)) paintbox_board->setFocusMark(lastPick, false);
  // The traced path, heard as the letters picked so far.
  if (ownTurn() && !actions.empty() && actions.back().kind != TraceAction::kSubmit)
    play_.say(client::said::answer(client::rack(play_.model())));
  clicked();
}

void BoardPanel::startBanner() {
  bannerFrame_ = 0;
  image_bonus->setPixmap(bonusBannerFrame(0, image_bonus->devicePixelRatioF()));
  bannerTimer_.start();
}

}  // namespace zp::board
