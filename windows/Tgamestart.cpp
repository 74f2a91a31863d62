#include "windows/Tgamestart.h"

#include "gui/look.h"

#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace zp::windows {
namespace {

const QColor& kBlue = gui::kWindowBlue;

QLabel* label(QWidget* parent, const QString& text, QRect at, int size, Qt::Alignment align) {
  QLabel* l = gui::textLabel(parent, at, size, true, gui::kLightBlue, align);
  l->setText(text);
  return l;
}

}  // namespace

Tgamestart::Tgamestart(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setWindowTitle(QStringLiteral("Zandu Pelix - Game Start"));
  setFixedSize(257, 216);
  QLabel* title = label(this, QStringLiteral("Game Options"), {0, 4, 257, 28}, 24, Qt::AlignCenter);
  QFont underlined = title->font();
  underlined.setUnderline(true);
  title->setFont(underlined);

  const std::array<const char*, 3> captions = {
      "Play to Score:", "Creation Time:", "Zandu Shuffles:"};
  const std::array<const char*, 3> names = {"playtoscore", "timeperturn", "zandushuffle"};
  for (int i = 0; i < 3; ++i) {
    const int y = 40 + 28 * i;
    label(this, QString::fromLatin1(captions[i]), {10, y, 120, 22}, 13,
          Qt::AlignRight | Qt::AlignVCenter);
    values_[i] = label(this, QString(), {136, y, 60, 22}, 13, Qt::AlignCenter);
    values_[i]->setObjectName(QString::fromLatin1(names[i]));
    values_[i]->setAutoFillBackground(true);
    QPalette palette = values_[i]->palette();
    palette.setColor(QPalette::Window, kBlue.darker(140));
    values_[i]->setPalette(palette);
    const auto field = static_cast<Field>(i);
    for (const bool up : {true, false}) {
      auto* arrow = new QToolButton(this);
      arrow->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
      arrow->setGeometry(198, up ? y : y + 11, 18, 11);
      arrow->setAutoRepeat(true);
      connect(arrow, &QToolButton::clicked, this, [this, field, up] {
        if (hooks_.arrow) hooks_.arrow(field, up);
        refresh();
      });
    }
  }
  label(this, QStringLiteral("Computer:"), {10, 124, 120, 22}, 13,
        Qt::AlignRight | Qt::AlignVCenter);
  combo_computer = new QComboBox(this);
  combo_computer->setObjectName(QStringLiteral("computer"));
  combo_computer->setAccessibleName(QStringLiteral("Computer"));
  combo_computer->addItems({QStringLiteral("Easy"), QStringLiteral("Classic"),
                            QStringLiteral("Strong"), QStringLiteral("Expert")});
  combo_computer->setGeometry(136, 124, 80, 22);

  checkbox_team = new QCheckBox(QStringLiteral("Team Game"), this);
  checkbox_team->setObjectName(QStringLiteral("checkbox_team"));
  checkbox_team->setGeometry(70, 152, 120, 22);
  checkbox_team->setFont(gui::gameFont(13, true));
  gui::setTextColour(checkbox_team, gui::kLightBlue);

  auto* start = new QPushButton(QStringLiteral("START GAME"), this);
  start->setObjectName(QStringLiteral("Image1"));
  start->setGeometry(78, 180, 100, 28);
  start->setFont(gui::gameFont(12, true));
  connect(start, &QPushButton::clicked, this, [this] {
    if (hooks_.start) hooks_.start(checkbox_team->isChecked(), combo_computer->currentIndex());
    hide();
  });
}

void Tgamestart::setHooks(Hooks hooks) {
  hooks_ = std::move(hooks);
  refresh();
}

void Tgamestart::refresh() {
  if (!hooks_.values) return;
  const std::array<int, 3> values = hooks_.values();
  for (int i = 0; i < 3; ++i) values_[i]->setNum(values[i]);
  if (hooks_.computer) combo_computer->setCurrentIndex(hooks_.computer());
}

void Tgamestart::showEvent(QShowEvent* event) {
  refresh();
  // At the centre of the main window.
  if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
  QWidget::showEvent(event);
}

void Tgamestart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBlue);
}

}  // namespace zp::windows
