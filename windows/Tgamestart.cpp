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
  setFixedSize(257, 244);
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
    // A screen reader hears each stepper as its value's name and direction, the value as
    // its description ("Play to Score up, 500").
    const QString name = QString::fromLatin1(captions[i]).chopped(1);
    values_[i] = label(this, QString(), {136, y, 60, 22}, 13, Qt::AlignCenter);
    values_[i]->setAccessibleName(name);
    values_[i]->setObjectName(QString::fromLatin1(names[i]));
    values_[i]->setAutoFillBackground(true);
    QPalette palette = values_[i]->palette();
    palette.setColor(QPalette::Window, kBlue.darker(140));
    values_[i]->setPalette(palette);
    const auto field = static_cast<Field>(i);
    for (const bool up : {true, false}) {
      auto* arrow = new QToolButton(this);
      if (up && i == 0) steppers_[0] = arrow;
      arrow->setAccessibleName(name + (up ? QStringLiteral(" up") : QStringLiteral(" down")));
      arrows_[static_cast<std::size_t>(2 * i + (up ? 0 : 1))] = arrow;
      arrow->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
      arrow->setGeometry(198, up ? y : y + 11, 18, 11);
      arrow->setAutoRepeat(true);
      connect(arrow, &QToolButton::clicked, this, [this, field, up] {
        if (hooks_.arrow) hooks_.arrow(field, up);
        refresh();
      });
    }
  }
  QLabel* computer = label(this, QStringLiteral("Computer:"), {10, 124, 120, 22}, 13,
                           Qt::AlignRight | Qt::AlignVCenter);
  combo_computer = new QComboBox(this);
  computer->setBuddy(combo_computer);
  combo_computer->setObjectName(QStringLiteral("computer"));
  combo_computer->setAccessibleName(QStringLiteral("Computer"));
  combo_computer->addItems({QStringLiteral("Easy"), QStringLiteral("Classic"),
                            QStringLiteral("Strong"), QStringLiteral("Expert")});
  combo_computer->setGeometry(136, 124, 80, 22);
  // Orca looks for a combo box's value in a selection Qt 6.4 does not offer, and says only
  // "Computer: combo box": the value goes with the description as well.
  const auto describeComputer = [this] {
    combo_computer->setAccessibleDescription(combo_computer->currentText());
  };
  connect(combo_computer, &QComboBox::currentIndexChanged, this, describeComputer);
  describeComputer();

  checkbox_team = new QCheckBox(QStringLiteral("Team Game"), this);
  checkbox_team->setObjectName(QStringLiteral("checkbox_team"));
  checkbox_team->setGeometry(70, 152, 120, 22);
  checkbox_team->setFont(gui::gameFont(13, true));
  gui::setTextColour(checkbox_team, gui::kLightBlue);

  checkbox_unhurried = new QCheckBox(QStringLiteral("Unhurried"), this);
  checkbox_unhurried->setObjectName(QStringLiteral("checkbox_unhurried"));
  checkbox_unhurried->setGeometry(70, 178, 150, 22);
  checkbox_unhurried->setFont(gui::gameFont(13, true));
  gui::setTextColour(checkbox_unhurried, gui::kLightBlue);
  checkbox_unhurried->setAccessibleName(
      QStringLiteral("Unhurried: no turn limit, 20 seconds to choose the fall"));
  checkbox_unhurried->setToolTip(checkbox_unhurried->accessibleName());
  connect(checkbox_unhurried, &QCheckBox::toggled, this, [this](bool on) {
    if (hooks_.setUnhurried) hooks_.setUnhurried(on);
  });

  auto* start = new QPushButton(QStringLiteral("START GAME"), this);
  start->setObjectName(QStringLiteral("Image1"));
  start->setGeometry(78, 208, 100, 28);
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
  for (int i = 0; i < 3; ++i) {
    const QString value = QString::number(values[i]);
    values_[i]->setText(value);
    // Only a change is told again: a screen reader hears the new value once.
    for (QWidget* arrow : {arrows_[2 * i], arrows_[2 * i + 1]})
      if (arrow->accessibleDescription() != value) arrow->setAccessibleDescription(value);
  }
  if (hooks_.computer) combo_computer->setCurrentIndex(hooks_.computer());
  if (hooks_.unhurried) checkbox_unhurried->setChecked(hooks_.unhurried());
}

void Tgamestart::showEvent(QShowEvent* event) {
  refresh();
  // At the centre of the main window.
  if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
  QWidget::showEvent(event);
  // The keyboard and a screen reader start in the dialog, on its first value.
  raise();
  activateWindow();
  if (steppers_[0]) steppers_[0]->setFocus(Qt::ActiveWindowFocusReason);
}

void Tgamestart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBlue);
}

}  // namespace zp::windows
