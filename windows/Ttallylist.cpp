#include "windows/Ttallylist.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "gui/look.h"

namespace zp::windows {
namespace {

using records::TallyTable;

// The panel heading before anybody is selected, as the window was designed.
constexpr std::string_view kNobody = "XX";

QString q(std::string_view text) {
  return gui::shownText(text);
}

// A name can be as long as its owner likes: shortened, never widening the window, and
// keeping the caption's fixed end (" Wins:") readable.
class NameLabel : public QLabel {
 public:
  using QLabel::QLabel;
  void keepEnd(QString end) { end_ = std::move(end); }
  QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
  QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRect area = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    QString shown = text();
    if (metrics.horizontalAdvance(shown) > area.width()) {
      const bool keep = !end_.isEmpty() && shown.endsWith(end_);
      const QString head = keep ? shown.chopped(end_.size()) : shown;
      const QString tail = keep ? end_ : QString();
      shown =
          metrics.elidedText(head, Qt::ElideRight, area.width() - metrics.horizontalAdvance(tail)) +
          tail;
    }
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
  }

 private:
  QString end_;
};

template <typename Label = QLabel>
Label* label(const QString& text, const QString& name, QWidget* parent, bool strong = false) {
  auto* made = new Label(text, parent);
  made->setObjectName(name);
  made->setTextFormat(Qt::PlainText);
  if (strong) gui::styleLabel(*made, {.bold = true});
  return made;
}

QFrame* panel(const QString& name, QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setObjectName(name);
  frame->setStyleSheet(QStringLiteral("QFrame#%1 { background: #0a5fa6; border: 1px solid "
                                      "#4d93d6; border-radius: 6px; }")
                           .arg(name));
  return frame;
}

template <typename Label = QLabel>
Label* heading(const QString& text, const QString& name, QWidget* parent) {
  auto* made = label<Label>(text, name, parent, true);
  QFont font = made->font();
  font.setPixelSize(14);
  made->setFont(font);
  return made;
}

// Keeps the items (and so the scroll position) and rewrites only what changed.
void syncList(QListWidget& list, const std::vector<std::pair<std::string, bool>>& entries) {
  const QSignalBlocker quiet(list);
  while (list.count() > static_cast<int>(entries.size())) delete list.takeItem(list.count() - 1);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    QListWidgetItem* item = list.item(static_cast<int>(i));
    if (item == nullptr) {
      item = new QListWidgetItem(&list);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    }
    const QString text = q(entries[i].first);
    if (item->text() != text) item->setText(text);
    // A new item has no check state at all, and then no box either.
    const Qt::CheckState state = entries[i].second ? Qt::Checked : Qt::Unchecked;
    if (!item->data(Qt::CheckStateRole).isValid() || item->checkState() != state)
      item->setCheckState(state);
  }
}

}  // namespace

Ttallylist::Ttallylist(records::TallyTable& tally, QWidget* parent)
    : QDialog(parent), tally_(&tally) {
  build();
}

Ttallylist::Ttallylist(QWidget* parent)
    : QDialog(parent), own_(std::make_unique<records::TallyTable>()), tally_(own_.get()) {
  build();
}

Ttallylist::~Ttallylist() = default;

void Ttallylist::build() {
  setWindowTitle(QStringLiteral("Zandu Pelix - Tally List"));
  gui::useSideWindowLook(*this);

  ask_ = [this](const QString& text) {
    // The question holds a player's name: shown as text, never as markup.
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
  };

  // Your Total Tally
  QFrame* mine = panel(QStringLiteral("panel_mine"), this);
  auto* mineGrid = new QGridLayout(mine);
  mineGrid->setContentsMargins(12, 10, 12, 10);
  mineGrid->setHorizontalSpacing(16);
  mineGrid->setVerticalSpacing(4);
  mineGrid->addWidget(heading(QStringLiteral("Your Total Tally"), QString(), mine), 0, 0, 1, 2);
  const std::array<const char*, 4> mineRows = {
      "Total Games:", "Your Wins:", "Total Words:", "Best Scoring Word:"};
  for (int i = 0; i < 4; ++i) {
    mineGrid->addWidget(label(QString::fromLatin1(mineRows[std::size_t(i)]), QString(), mine),
                        i + 1, 0);
    mylabels_[std::size_t(i)] =
        label<NameLabel>(QStringLiteral("0"), QStringLiteral("mylabel_%1").arg(i + 1), mine, true);
    mineGrid->addWidget(mylabels_[std::size_t(i)], i + 1, 1);
  }
  mineGrid->setColumnStretch(1, 1);

  // The selected player's tally
  QFrame* his = panel(QStringLiteral("panel_his"), this);
  auto* hisGrid = new QGridLayout(his);
  hisGrid->setContentsMargins(12, 10, 12, 10);
  hisGrid->setHorizontalSpacing(16);
  hisGrid->setVerticalSpacing(4);
  auto* hisnametop = heading<NameLabel>(QString(), QStringLiteral("label_hisnametop"), his);
  hisnametop->keepEnd(q(TallyTable::TallyHeading("")));
  label_hisnametop = hisnametop;
  hisGrid->addWidget(label_hisnametop, 0, 0, 1, 3);
  hisGrid->addWidget(label(QStringLiteral("Total"), QString(), his, true), 1, 1, Qt::AlignRight);
  hisGrid->addWidget(label(QStringLiteral("Session"), QString(), his, true), 1, 2, Qt::AlignRight);
  auto* hisname = label<NameLabel>(QString(), QStringLiteral("label_hisname"), his);
  hisname->keepEnd(q(TallyTable::WinsCaption("")));
  label_hisname = hisname;
  const std::array<QLabel*, 4> hisRows = {label(QStringLiteral("Number of Games:"), QString(), his),
                                          label_hisname,
                                          label(QStringLiteral("Your Wins:"), QString(), his),
                                          label(QStringLiteral("Won as a Team:"), QString(), his)};
  for (int i = 0; i < 4; ++i) {
    hisGrid->addWidget(hisRows[std::size_t(i)], i + 2, 0);
    for (int half = 0; half < 2; ++half) {
      const int number = i + 1 + 4 * half;
      QLabel* value = label(QStringLiteral("0"), QStringLiteral("label_%1").arg(number), his, true);
      value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      value->setMinimumWidth(44);
      labels_[std::size_t(number - 1)] = value;
      hisGrid->addWidget(value, i + 2, 1 + half);
    }
  }
  hisGrid->setColumnStretch(0, 1);

  listbox_tally = new QListWidget(this);
  listbox_tally->setObjectName(QStringLiteral("listbox_tally"));
  checklist = new QListWidget(this);
  checklist->setObjectName(QStringLiteral("checklist"));
  checklist->setSelectionMode(QAbstractItemView::NoSelection);
  // At most the three other seats.
  const int rowHeight = checklist->fontMetrics().height() + 4;
  checklist->setFixedHeight(3 * rowHeight + 2 * checklist->frameWidth() + 6);
  connect(checklist, &QListWidget::itemChanged, this, &Ttallylist::checklistChanged);
  connect(listbox_tally, &QListWidget::itemChanged, this, &Ttallylist::talliedChanged);
  connect(listbox_tally, &QListWidget::currentRowChanged, this, &Ttallylist::talliedSelected);

  auto* reset = new QPushButton(QStringLiteral("Reset Tally"), this);
  reset->setObjectName(QStringLiteral("button_reset"));
  reset->setAutoDefault(false);
  connect(reset, &QPushButton::clicked, this, &Ttallylist::resetClicked);
  auto* done = new QPushButton(QStringLiteral("Done"), this);
  done->setObjectName(QStringLiteral("button_done"));
  done->setDefault(true);
  connect(done, &QPushButton::clicked, this, &QWidget::hide);

  auto* left = new QVBoxLayout;
  left->setSpacing(10);
  left->addWidget(mine);
  left->addWidget(his);
  auto* right = new QVBoxLayout;
  right->setSpacing(4);
  right->addWidget(heading(QStringLiteral("Players Being Tallied"), QString(), this));
  right->addWidget(listbox_tally, 1);

  auto* current = new QVBoxLayout;
  current->setSpacing(4);
  current->addWidget(heading(QStringLiteral("Players In Current Game"), QString(), this));
  current->addWidget(checklist, 1);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(6);
  buttons->addStretch();
  buttons->addWidget(reset);
  buttons->addWidget(done);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setHorizontalSpacing(14);
  layout->setVerticalSpacing(12);
  layout->addLayout(left, 0, 0);
  layout->addLayout(right, 0, 1);
  layout->addLayout(current, 1, 0);
  layout->addLayout(buttons, 1, 1);
  layout->setColumnStretch(0, 3);
  layout->setColumnStretch(1, 2);
  layout->setRowStretch(0, 1);
  resize(QSize(500, 0));
  refresh();
}

void Ttallylist::setQuestion(Question ask) {
  ask_ = std::move(ask);
}

void Ttallylist::refresh() {
  const TallyTable& tally = *tally_;
  for (int n = 1; n <= 4; ++n) mylabels_[std::size_t(n - 1)]->setText(q(tally.mylabel(n)));
  const std::vector<std::string> players = tally.TalliedPlayers();

  // Everybody listed is tallied, so every entry is ticked: an untick either deletes the
  // tally or is taken back.
  std::vector<std::pair<std::string, bool>> tallied;
  for (const auto& name : players) tallied.emplace_back(name, true);
  syncList(*listbox_tally, tallied);
  std::vector<std::pair<std::string, bool>> current;
  for (const auto& player : tally.CurrentPlayers())
    current.emplace_back(player.name, player.checked);
  syncList(*checklist, current);

  const int selected = tally.Selected() < int(players.size()) ? tally.Selected() : -1;
  {
    const QSignalBlocker quiet(listbox_tally);
    listbox_tally->setCurrentRow(selected);
  }
  // With nobody selected, the panel shows nobody's numbers rather than those of a
  // player whose tally was just deleted.
  const std::string name = selected >= 0 ? players[std::size_t(selected)] : std::string(kNobody);
  label_hisnametop->setText(q(TallyTable::TallyHeading(name)));
  label_hisname->setText(q(TallyTable::WinsCaption(name)));
  for (int n = 1; n <= 8; ++n) {
    labels_[std::size_t(n - 1)]->setText(selected >= 0 ? q(tally.label(n)) : QStringLiteral("0"));
  }
}

void Ttallylist::checklistChanged(QListWidgetItem* item) {
  tally_->checklistClick(checklist->row(item));
  refresh();
}

void Ttallylist::talliedChanged(QListWidgetItem* item) {
  const int index = listbox_tally->row(item);
  if (index < 0 || item->checkState() == Qt::Checked) return;
  const std::vector<std::string> before = tally_->TalliedPlayers();
  if (std::size_t(index) >= before.size()) return;
  const bool yes = ask_ && ask_(q(tally_->UntallyQuestion(index)));
  // The question may have waited while the table changed; delete only the player asked about.
  const std::vector<std::string> after = tally_->TalliedPlayers();
  if (yes && std::size_t(index) < after.size() &&
      after[std::size_t(index)] == before[std::size_t(index)])
    tally_->untally(index);
  refresh();
}

void Ttallylist::talliedSelected(int row) {
  tally_->select(row);
  refresh();
}

void Ttallylist::resetClicked() {
  if (ask_ && ask_(q(TallyTable::kResetQuestion))) tally_->reset();
  refresh();
}

void Ttallylist::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    refresh();
    gui::centreOnce(*this, placed_);
  }
  QDialog::showEvent(event);
}

}  // namespace zp::windows
