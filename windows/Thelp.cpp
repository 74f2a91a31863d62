#include "windows/Thelp.h"

#include <QButtonGroup>
#include <QFontMetricsF>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <array>
#include <limits>
#include <utility>

#include "gui/look.h"

namespace zp::windows {
namespace {

// Pages are plain lines: the first is the title; a line indented by four blanks is something
// to type and is set in a fixed font; a history line "date - Version n.n.n.n" is set in bold.
// Blanks are kept as written.
constexpr auto kOverview = R"(Overview

Zandu Pelix is a multiplayer word game. Players try to create the largest word possible while using the letters that are on the bonus square. This exciting game can be played with up to four players.)";

constexpr auto kConnecting = R"(Connecting

Solo game: start Zandu Pelix without anything after its name. The game then hosts a table just for you and Tobo the bot. Close the launcher with "Play Solo Game" and press the Start Game button to begin.

A solo game can be played offline, but the game still uses the network inside your own computer. If your FIREWALL asks, allow Zandu Pelix to use the network, or the game cannot start.

Multi-player game: one player hosts the table and the others join it. How players find each other is explained under The Lobby.

If nobody can join a game you host, your modem, router or firewall is turning them away: it must allow incoming connections on port 7772 to your computer.

The host is usually the first player in the list. When the host leaves or is disconnected, all play at the table ends.)";

constexpr auto kGamePlay = R"(Game Play

Players take turns making words from the letters on the board.  The letters used in the word must be connecting.

The host can decide to allow players to do the Zandu Shuffle. This resets the tiles on the board. You can only do this on your turn and only once per turn.

When you are finished creating your word hit the done button or right click the mouse button to submit the word.

After you create a valid word you can select which way you would like the tiles to be shifted by pressing one of the four arrows that appear.

The player or team that reaches the play to score first will be declared the winner.)";

constexpr auto kKeyboard = R"(Keyboard and Speech

In your turn the board has the keyboard (F6 moves it between the board and the chat). Type a word and the board traces it (Tab shows another path), Backspace takes back a letter, Escape clears and Enter sends. The arrow keys move the focus mark from cell to cell and Space picks the marked tile. After a good word an arrow key shows that fall and the same key again (or Enter) chooses it.

While a screen reader runs, or when Options > Speak Events is on, the game says what happens at the table: whose turn it is, every word made or refused and its points, the fall chosen, the last 30 and 10 seconds, "Time is Up!", the winner, who comes and goes and every chat line of the others (Tobo's chatter too, unless Options > Speak Tobo's Chatter is off). These keys ask, wherever the keyboard is:
    F2   whose turn it is and the time left
    F3   the scores
    F4   the last words made
    F5   the letters picked (the rack)
    F7   the row of the focus mark, read left to right
    F8   the column of the focus mark, read top to bottom)";

constexpr auto kScoring = R"(Scoring

A word scores the sum of the values of its letters. Each tile shows its letter's value: common letters such as A, E, S or T are worth 1 point, rare ones such as Q, X or Z are worth 10.

Some squares of the board carry a bonus. When a letter of your word lies on one, the bonuses are applied in this order:

Bonus (the centre square): 20 points are added to the word score.
Double Letter: the letter's value is doubled.
Triple Letter: the letter's value is tripled.
Double Word: the word's value is doubled.
Triple Word: the word's value is tripled.

A word of all seven letters earns another 20 points on top.

Example: STORM, with the S on a triple word square, the R on a double word square and the M on a double letter square.
S, T, O and R are worth 1 point each and M is worth 3: 1 + 1 + 1 + 1 + 3.
The double letter square counts the M once more, 3 more points: 7 + 3 = 10.
The double word square doubles that: 10 x 2 = 20.
The triple word square triples it: 20 x 3 = 60.
STORM scores 60 points.

The player or team who reaches the play to score first will win. )";

// Newest first. Each version is one batch of changes that went in together.
constexpr auto kHistory = R"(History

Dec 7, 2026 - Version 1.0.15.17
  -The game window: a solo table, hosting and joining, the player list, the chat, the settings, the sounds and the board.
  -The board's pictures are drawn sharp on any screen: tiles, buttons, arrows, gauges, the bonus banner and the winner panel. More tile sets can be added as picture files; a wooden set comes with the game.
  -New sounds, chat and player list pictures, and the About box.
  -Each side window has a file of its own.

Dec 7, 2026 - Version 1.0.15.16
  -A game whose host leaves ends; a player who takes a free seat starts afresh; an empty table waits for new players.
  -Tobo the bot can shuffle and finds its words faster.
  -Clearer first steps for the table host and the pack tool.

Dec 7, 2026 - Version 1.0.15.15
  -The player's side of the game works without its windows: start-up, messages from the table, the player list and play on the board, tested through whole games.

Dec 7, 2026 - Version 1.0.15.14
  -Chat: names, colours, links, typing and the phrase buttons.
  -Settings are written to the shared settings file one key at a time; the rest of the file is left alone.

Dec 7, 2026 - Version 1.0.15.13
  -Every message between the table and the players is built and read in one place and checked field by field.
  -The board's rules live in one place that the table and the players share.

Dec 7, 2026 - Version 1.0.15.12
  -The install script installs only what the game, its tests and its fuzzing use.
  -Tidier tests.

Dec 7, 2026 - Version 1.0.15.11
  -Fixed: a player dropped for not reading could free the seat of the next player to sit there.
  -Fixed: a tally file that understates its size is refused, and a good tally is kept when scratch space runs out.

Dec 7, 2026 - Version 1.0.15.10
  -A player whose connection stops reading is let go instead of holding up the table.
  -Choosing the fall direction only makes the tiles fall sooner.
  -The tally file is packed faster, byte for byte the same.

Dec 7, 2026 - Version 1.0.15.9
  -A player who sends garbage or floods the table no longer holds up the others.
  -The tally file is packed faster.

Dec 7, 2026 - Version 1.0.15.8
  -Building the game for a quick try takes less time.
  -Small clean-ups.

Dec 7, 2026 - Version 1.0.15.7
  -The table host needs less memory.
  -Whole games of two players against zandupelix-server are tested.

Dec 7, 2026 - Version 1.0.15.6
  -Speed measurements of Tobo's hardest searches and of whole games.

Dec 7, 2026 - Version 1.0.15.5
  -The tally file is packed faster; its speed and size are measured.

Dec 7, 2026 - Version 1.0.15.4
  -New tool zandupelix-pack, to look inside or repair a tally file.
  -Tally files and table traffic are tested with random and broken input.

Dec 7, 2026 - Version 1.0.15.3
  -The table: seats, the board, words, turns, scoring and Tobo the bot.
  -zandupelix-server hosts a table without windows.
  -The tally of games and wins, kept in a compressed file.

Dec 7, 2026 - Version 1.0.15.2
  -Words are checked by a quick search of the word list on disk.

Dec 7, 2026 - Version 1.0.15.1
  -The word list, from SCOWL 2020.12.07, and the words Tobo likes to play.

Dec 7, 2026 - Version 1.0.15.0
  -First build: the game's skeleton, make run and make test.)";

constexpr auto kLobby = R"(The Lobby

The Zandu Pelix Lobby (zandupelix-lobby, or "Play with Others" in the window that opens with a solo game) lists the tables you can join: those a table directory knows, those you added by their address, and a table on your own computer. For each it shows the table's name, who sits at it, the free seats, the spectators and whether a game is on. Pick one and press Join (or double-click it); Host a Table opens a table of your own.

Tables on your network: press Add Table... and give the host's address. A table listens on port 7772; give another port as ADDRESS:PORT.

Tables over the internet: somebody runs a table directory on a machine everyone can reach,
    zandupelix-directory
and each table registers with it:
    zandupelix-server --name "Our club" --register DIRECTORY
Start the lobby with --directory DIRECTORY (it remembers it) and every registered table is listed. A table hosted from the lobby is registered too, while it is open. Players outside the host's home or office network can only join when the host opens the table's TCP port in the firewall and the router and forwards it to the host's computer.

Without the lobby, everybody starts Zandu Pelix with three things after its name: their own name, the host's address, and whether they host:
    zandupelix NAME ADDRESS true        (the host; the address is not used)
    zandupelix NAME HOSTADDRESS false   (everybody else; HOSTADDRESS may end in :PORT)
A table can also run on a machine without a screen, with the table host zandupelix-server (its --port option makes it listen on another port). The first player to join it becomes the host and starts the games.)";

struct Topic {
  int tag;
  const char* caption;
  const char* name;
  const char* text;
};

const std::array<Topic, 7> kTopics{{
    {1, "Overview", "button_overview", kOverview},
    {2, "Connecting", "button_connecting", kConnecting},
    {3, "Game Play", "button_gameplay", kGamePlay},
    {4, "Scoring", "button_scoring", kScoring},
    {5, "Documentation", "button_documentation", kHistory},
    {11, "The Lobby", "button_lobby", kLobby},
    {12, "Keyboard and Speech", "button_keyboard", kKeyboard},
}};

const Topic* findTopic(int tag) {
  for (const Topic& topic : kTopics)
    if (topic.tag == tag) return &topic;
  return nullptr;
}

// A history heading, "May 5, 2011 - Version 1.0.15.17". Read by hand: the pages are filled
// at start, and a regular expression would bring its engine (half a megabyte resident) into
// every start for six pages of text.
bool isVersionLine(QStringView line) {
  qsizetype at = 0;
  const auto run = [&](auto accepts, qsizetype least, qsizetype most) {
    qsizetype n = 0;
    while (at < line.size() && n < most && accepts(line[at])) ++at, ++n;
    return n >= least;
  };
  const auto word = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
  const auto digit = [](QChar c) { return c >= u'0' && c <= u'9'; };
  const auto text = [&](QStringView expected) {
    if (!line.mid(at).startsWith(expected)) return false;
    at += expected.size();
    return true;
  };
  constexpr qsizetype kAny = std::numeric_limits<qsizetype>::max();
  if (!run(word, 1, kAny) || !text(u" ") || !run(digit, 1, 2) || !text(u", ") ||
      !run(digit, 4, 4) || !text(u" - Version ") || !run(digit, 1, kAny))
    return false;
  for (int part = 0; part < 3; ++part)
    if (!text(u".") || !run(digit, 1, kAny)) return false;
  return at == line.size();
}

// The text goes in with insertText, which keeps every blank and never reads markup.
void fillPage(QTextBrowser& page, const QString& text) {
  QTextCharFormat plain;
  QTextCharFormat title;
  title.setFontWeight(QFont::Bold);
  title.setFontPointSize(page.font().pointSizeF() * 1.3);
  QTextCharFormat heading;
  heading.setFontWeight(QFont::Bold);
  QTextCharFormat typed;
  typed.setFontFamilies({QStringLiteral("Liberation Mono"), QStringLiteral("monospace")});
  typed.setFontFixedPitch(true);

  QTextCursor cursor(page.document());
  const QStringList lines = text.split(u'\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    const QTextCharFormat& format = i == 0                                    ? title
                                    : isVersionLine(line)                     ? heading
                                    : line.startsWith(QStringLiteral("    ")) ? typed
                                                                              : plain;
    // A change note wraps under its own text, not under its dash.
    QTextBlockFormat block;
    if (line.startsWith(QStringLiteral("  -"))) {
      const qreal dash = QFontMetricsF(page.font()).horizontalAdvance(QStringLiteral("  -"));
      block.setLeftMargin(dash);
      block.setTextIndent(-dash);
    }
    // An empty line takes the plain format, so it is no taller than a line of text.
    if (i > 0) cursor.insertBlock(block, line.isEmpty() ? plain : format);
    cursor.insertText(line, format);
  }
  page.moveCursor(QTextCursor::Start);
}

}  // namespace

Thelp::Thelp(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Zandu Pelix - Help File"));
  gui::useGameFont(*this);

  auto* side = new QFrame(this);
  side->setObjectName(QStringLiteral("panel_side"));
  side->setFrameShape(QFrame::StyledPanel);
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(8, 10, 8, 8);
  sideLayout->setSpacing(6);
  auto* name = new QLabel(QStringLiteral("Zandu Pelix"), side);
  QFont nameFont = name->font();
  nameFont.setBold(true);
  nameFont.setPointSizeF(nameFont.pointSizeF() * 1.2);
  name->setFont(nameFont);
  name->setAlignment(Qt::AlignCenter);
  auto* topicsLabel = new QLabel(QStringLiteral("Help Topics"), side);
  topicsLabel->setAlignment(Qt::AlignCenter);
  sideLayout->addWidget(name);
  sideLayout->addWidget(topicsLabel);
  sideLayout->addSpacing(6);

  caption_ = new QLabel(this);
  caption_->setObjectName(QStringLiteral("label_caption"));
  caption_->setTextFormat(Qt::PlainText);
  caption_->setAlignment(Qt::AlignCenter);
  QFont captionFont = caption_->font();
  captionFont.setBold(true);
  captionFont.setPointSizeF(captionFont.pointSizeF() * 1.4);
  caption_->setFont(captionFont);

  pages_ = new QStackedWidget(this);
  // The chosen topic's button stays pressed, so the panel shows where the reader is.
  topics_ = new QButtonGroup(this);
  topics_->setExclusive(true);
  for (const Topic& topic : kTopics) {
    auto* page = new QTextBrowser(pages_);
    page->setObjectName(QStringLiteral("memo%1").arg(topic.tag));
    page->setOpenLinks(false);
    page->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    page->document()->setDocumentMargin(10);
    fillPage(*page, QString::fromUtf8(topic.text));
    pages_->addWidget(page);

    auto* button = new QPushButton(QString::fromUtf8(topic.caption), side);
    button->setObjectName(QString::fromLatin1(topic.name));
    button->setAutoDefault(false);
    button->setCheckable(true);
    topics_->addButton(button, topic.tag);
    const int tag = topic.tag;
    connect(button, &QPushButton::clicked, this, [this, tag] { showTopic(tag); });
    sideLayout->addWidget(button);
  }
  sideLayout->addStretch();

  auto* about = new QPushButton(QStringLiteral("About"), side);
  about->setObjectName(QStringLiteral("button_about"));
  about->setAutoDefault(false);
  connect(about, &QPushButton::clicked, this, [this] {
    if (showAbout_) showAbout_();
  });
  auto* done = new QPushButton(QStringLiteral("Done"), side);
  done->setObjectName(QStringLiteral("button_done"));
  done->setDefault(true);
  connect(done, &QPushButton::clicked, this, &QWidget::hide);
  sideLayout->addWidget(about);
  sideLayout->addSpacing(10);
  sideLayout->addWidget(done);
  side->setFixedWidth(side->sizeHint().width() + 24);

  auto* right = new QVBoxLayout;
  right->setSpacing(8);
  right->addWidget(caption_);
  right->addWidget(pages_, 1);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(10);
  layout->addWidget(side);
  layout->addLayout(right, 1);

  showTopic(1);
  resize(QSize(640, 440));
}

void Thelp::setShowAbout(std::function<void()> showAbout) {
  showAbout_ = std::move(showAbout);
}

bool Thelp::showTopic(int topic) {
  const Topic* found = findTopic(topic);
  if (found == nullptr) return false;
  auto* page = pages_->findChild<QWidget*>(QStringLiteral("memo%1").arg(topic));
  pages_->setCurrentWidget(page);
  caption_->setText(QString::fromUtf8(found->caption));
  topics_->button(topic)->setChecked(true);
  topic_ = topic;
  return true;
}

}  // namespace zp::windows
