#include "windows/Tdownload.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QPushButton>
#include <QRadialGradient>
#include <QShowEvent>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <array>
#include <utility>

#include "gui/look.h"

namespace zp::windows {
namespace {

constexpr auto kNoLobby =
    "Please close the game and open the Qelm88 Lobby using the icon on your desktop or using "
    "the your Window's start-up menu.";
constexpr auto kAborted = "Download Aborted";

// The lobby's advertisement: players at tables, drawn rather than loaded.
class LobbyPicture : public QWidget {
 public:
  explicit LobbyPicture(QWidget* parent) : QWidget(parent) { setFixedSize(264, 132); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient room(0, 0, 0, height());
    room.setColorAt(0, QColor(0x1d, 0x4e, 0x7a));
    room.setColorAt(1, QColor(0x0b, 0x24, 0x3d));
    p.setPen(QPen(QColor(0x05, 0x18, 0x2a), 1));
    p.setBrush(room);
    p.drawRoundedRect(frame, 10, 10);

    QFont title;
    title.setFamilies({QStringLiteral("Liberation Sans")});
    title.setBold(true);
    title.setPixelSize(17);
    p.setFont(title);
    p.setPen(QColor(0xff, 0xd8, 0x5a));
    p.drawText(QRectF(0, 6, width(), 22), Qt::AlignCenter, QStringLiteral("The Qelm88 Lobby"));
    QFont line = title;
    line.setBold(false);
    line.setPixelSize(10);
    p.setFont(line);
    p.setPen(QColor(0xd8, 0xe6, 0xf4));
    p.drawText(QRectF(0, 112, width(), 16), Qt::AlignCenter,
               QStringLiteral("Find a table, take a seat, play online"));

    struct Table {
      QPointF centre;
      int seated;
    };
    const std::array<Table, 3> tables{{{{50, 70}, 4}, {{132, 70}, 3}, {{214, 70}, 2}}};
    const std::array<QColor, 4> shirts{QColor(0xe0, 0x4f, 0x3c), QColor(0x3c, 0xb0, 0x5a),
                                       QColor(0xf0, 0xa8, 0x30), QColor(0x9a, 0x5c, 0xd0)};
    // Seats at the four sides; the two behind the table are drawn before it.
    const std::array<QPointF, 4> seats{QPointF(-22, -13), QPointF(22, -13), QPointF(-30, 9),
                                       QPointF(30, 9)};
    for (const Table& table : tables) {
      for (int s = 0; s < 2 && s < table.seated; ++s)
        drawPlayer(p, table.centre + seats[s], shirts[s]);
      drawTable(p, table.centre);
      for (int s = 2; s < table.seated; ++s) drawPlayer(p, table.centre + seats[s], shirts[s]);
    }
  }

 private:
  static void drawTable(QPainter& p, QPointF centre) {
    const QRectF top(centre.x() - 25, centre.y() - 11, 50, 22);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 80));
    p.drawEllipse(top.translated(0, 6));
    QRadialGradient wood(top.center(), top.width() / 2);
    wood.setColorAt(0, QColor(0x3f, 0x9a, 0x5a));
    wood.setColorAt(1, QColor(0x1f, 0x66, 0x38));
    p.setPen(QPen(QColor(0x7a, 0x4a, 0x1c), 2.5));
    p.setBrush(wood);
    p.drawEllipse(top);
    // A short row of tiles on the cloth.
    p.setPen(QPen(QColor(0x8a, 0x66, 0x2c), 0.6));
    p.setBrush(QColor(0xf8, 0xe8, 0xc0));
    for (int i = 0; i < 4; ++i)
      p.drawRect(QRectF(centre.x() - 15 + i * 8, centre.y() - 3.5, 6.5, 6.5));
  }

  static void drawPlayer(QPainter& p, QPointF at, const QColor& shirt) {
    p.setPen(QPen(shirt.darker(150), 1));
    p.setBrush(shirt);
    QPainterPath body;
    body.moveTo(at.x() - 8, at.y() + 11);
    body.cubicTo(at.x() - 8, at.y() + 1, at.x() + 8, at.y() + 1, at.x() + 8, at.y() + 11);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(QPen(QColor(0x8a, 0x5a, 0x3a), 1));
    p.setBrush(QColor(0xf2, 0xc8, 0x9c));
    p.drawEllipse(QPointF(at.x(), at.y() - 3), 5, 5);
  }
};

QLabel* textLabel(const QString& text, const QString& name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  return label;
}

QFrame* panel(QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setFrameShape(QFrame::StyledPanel);
  return frame;
}

}  // namespace

Tdownload::Tdownload(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Download The Qelm88 Lobby"));
  gui::useGameFont(*this);
  hooks_.startProgram = [](const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
  };
  lobby_.besideGame = {QCoreApplication::applicationDirPath()};
  hooks_.exitGame = [this] {
    if (QWidget* game = parentWidget()) game->close();
  };
  hooks_.message = [this](const QString& text) {
    QMessageBox::information(this, QStringLiteral("Zandu Pelix"), text);
  };

  connect(&download_, &LobbyDownload::headersArrived, this, [this](int lines) {
    infolabel_->setText(infolabel_->text() + QString(lines, u'.'));  // a dot a header line
  });
  connect(&download_, &LobbyDownload::begun, this,
          [this] { infolabel3_->setText(QStringLiteral("Downloading: ") + download_.fileName()); });
  connect(&download_, &LobbyDownload::progressed, this, [this](qint64 bytes) {
    infolabel_->setText(QString::number(bytes) + QStringLiteral(" bytes"));
  });
  connect(&download_, &LobbyDownload::finished, this, &Tdownload::downloadEnded);

  // Left: the advertisement and the download.
  auto* left = panel(this);
  left->setObjectName(QStringLiteral("panel_download"));
  auto* picture = new LobbyPicture(left);
  picture->setObjectName(QStringLiteral("image_lobby"));
  auto* advert = textLabel(QStringLiteral("Download The Qelm88 Lobby Now to play this  and other "
                                          "exciting games online with other players! "),
                           QStringLiteral("label_download"), left);
  advert->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  getbutton_ = new QPushButton(QStringLiteral("Download And Install The Qelm88 Lobby Now"), left);
  getbutton_->setObjectName(QStringLiteral("getbutton"));
  getbutton_->setEnabled(!download_.address().isEmpty());
  infolabel_ = textLabel(QString(), QStringLiteral("infolabel"), left);
  infolabel3_ = textLabel(QString(), QStringLiteral("infolabel3"), left);
  for (QLabel* status : {infolabel_, infolabel3_}) {
    status->setAlignment(Qt::AlignCenter);
    status->setMinimumHeight(status->fontMetrics().height());
  }
  infolabel2_ = textLabel(QString(), QStringLiteral("infolabel2"), left);
  infolabel2_->hide();
  abortbutton_ = new QPushButton(QStringLiteral("Stop Download"), left);
  abortbutton_->setObjectName(QStringLiteral("abortbutton"));
  connect(getbutton_, &QPushButton::clicked, this, &Tdownload::getbuttonClick);
  connect(abortbutton_, &QPushButton::clicked, this, &Tdownload::abortbuttonClick);

  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(10, 10, 10, 10);
  leftLayout->setSpacing(6);
  leftLayout->addWidget(picture, 0, Qt::AlignHCenter);
  leftLayout->addSpacing(2);
  leftLayout->addWidget(advert);
  leftLayout->addSpacing(2);
  leftLayout->addWidget(getbutton_);
  leftLayout->addWidget(infolabel_);
  leftLayout->addWidget(infolabel3_);
  leftLayout->addWidget(infolabel2_);
  leftLayout->addWidget(abortbutton_, 0, Qt::AlignHCenter);
  leftLayout->addStretch();

  // Upper right: the solo game.
  auto* solo = panel(this);
  solo->setObjectName(QStringLiteral("panel_solo"));
  auto* soloText = textLabel(QStringLiteral("To proceed to the game without the ability to play "
                                            "against others click the button below."),
                             QStringLiteral("label_solo"), solo);
  auto* soloButton = new QPushButton(QStringLiteral("Play Solo Game"), solo);
  soloButton->setObjectName(QStringLiteral("button_playsolo"));
  soloButton->setDefault(true);
  auto* note = textLabel(QStringLiteral("Note: Even if you are playing offline, you will need to "
                                        "configure your FIREWALL to allow the game to access the "
                                        "internet components."),
                         QStringLiteral("label_firewall"), solo);
  QPalette noteColours = note->palette();
  noteColours.setColor(QPalette::WindowText, QColor(0x9a, 0x12, 0x12));
  note->setPalette(noteColours);
  connect(soloButton, &QPushButton::clicked, this, &Tdownload::playSoloClick);
  auto* soloLayout = new QVBoxLayout(solo);
  soloLayout->setContentsMargins(10, 10, 10, 10);
  soloLayout->setSpacing(8);
  soloLayout->addWidget(soloText);
  soloLayout->addWidget(soloButton, 0, Qt::AlignHCenter);
  soloLayout->addWidget(note);
  soloLayout->addStretch();

  // Lower right: hand over to an installed lobby.
  auto* others = panel(this);
  others->setObjectName(QStringLiteral("panel_others"));
  auto* othersText = textLabel(
      QStringLiteral("If you already have The Qelm88 Lobby and you wish to play with others "
                     "then click the button below to close this game and open The Qelm88 "
                     "Lobby."),
      QStringLiteral("label_others"), others);
  auto* othersButton = new QPushButton(QStringLiteral("Play with Others"), others);
  othersButton->setObjectName(QStringLiteral("button_playothers"));
  connect(othersButton, &QPushButton::clicked, this, &Tdownload::playOthersClick);
  auto* othersLayout = new QVBoxLayout(others);
  othersLayout->setContentsMargins(10, 10, 10, 10);
  othersLayout->setSpacing(8);
  othersLayout->addWidget(othersText);
  othersLayout->addWidget(othersButton, 0, Qt::AlignHCenter);
  othersLayout->addStretch();

  for (QPushButton* button : {getbutton_, abortbutton_, soloButton, othersButton})
    button->setMinimumWidth(button->sizeHint().width() + 16);

  auto* right = new QVBoxLayout;
  right->setSpacing(8);
  right->addWidget(solo, 1);
  right->addWidget(others, 1);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(8);
  left->setFixedWidth(picture->width() + 36);
  layout->addWidget(left);
  layout->addLayout(right, 1);
  resize(600, 340);
}

void Tdownload::setHooks(Hooks hooks) {
  if (hooks.startProgram) hooks_.startProgram = std::move(hooks.startProgram);
  if (hooks.exitGame) hooks_.exitGame = std::move(hooks.exitGame);
  if (hooks.message) hooks_.message = std::move(hooks.message);
}

void Tdownload::setDownloadAddress(const QString& address) {
  download_.setAddress(address);
  if (!download_.running()) getbutton_->setEnabled(!address.isEmpty());
}

void Tdownload::setLobbyPlaces(LobbyPlaces places) {
  lobby_ = std::move(places);
}

QString Tdownload::findLobby() const {
  for (const QString& name : lobby_.names) {
    // findExecutable searches the PATH when given no folders, so an empty list is skipped.
    QString found = lobby_.besideGame.isEmpty()
                        ? QString()
                        : QStandardPaths::findExecutable(name, lobby_.besideGame);
    if (found.isEmpty()) found = QStandardPaths::findExecutable(name, lobby_.searchPath);
    if (!found.isEmpty()) return found;
  }
  for (const QString& file : lobby_.files) {
    const QFileInfo info(file);
    if (info.isFile() && info.isExecutable()) return info.absoluteFilePath();
  }
  return {};
}

void Tdownload::getbuttonClick() {
  if (download_.running()) return;
  if (!download_.start()) {
    hooks_.message(QString::fromLatin1(kErrorText));
    return;
  }
  infolabel2_->setText(download_.fileName());
  getbutton_->setEnabled(false);
  abortbutton_->setEnabled(true);
  infolabel_->setText(QStringLiteral("Loading"));
}

void Tdownload::downloadEnded(bool complete, qint64 bytes) {
  infolabel_->setText(complete ? QStringLiteral("Received ") + QString::number(bytes) +
                                     QStringLiteral(" bytes")
                               : QString::fromLatin1(kAborted));
  getbutton_->setEnabled(!download_.address().isEmpty());
  abortbutton_->setEnabled(false);
  if (!complete) return;

  infolabel3_->setText(QStringLiteral("Installing"));
  if (!download_.install(hooks_.startProgram)) {
    hooks_.message(QString::fromLatin1(kErrorText));
    return;
  }
  hooks_.exitGame();
}

void Tdownload::abortbuttonClick() {
  // The texts go first: the download may report its end from inside abort().
  infolabel_->setText(QStringLiteral("Download has been aborted."));
  infolabel3_->setText(QString::fromLatin1(kAborted));
  download_.abort();
}

void Tdownload::playSoloClick() {
  hide();
}

void Tdownload::playOthersClick() {
  const QString lobby = findLobby();
  if (lobby.isEmpty()) {
    hooks_.message(QString::fromLatin1(kNoLobby));
    return;
  }
  // The game closes only when the lobby is really on its way.
  if (!hooks_.startProgram(lobby, {})) {
    hooks_.message(QString::fromLatin1(kErrorText));
    return;
  }
  hooks_.exitGame();
}

void Tdownload::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) gui::centreWindow(*this, nullptr);
  QDialog::showEvent(event);
  // Enter and a screen reader go to the launcher, not to the board behind it.
  raise();
  activateWindow();
}

}  // namespace zp::windows
