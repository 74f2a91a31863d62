#include "windows/Tabout.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <array>

#include "gui/look.h"
#include "net/catalogue.h"

namespace zp::windows {
namespace {

// A reserved name, so a click can never land on a stranger's site.
constexpr auto kMakerAddress = "www.zandupelix.example";
constexpr auto kBuild = ".17";

// The logo is painted, not loaded, so it is sharp at any screen density.
class Logo : public QWidget {
 public:
  explicit Logo(QWidget* parent) : QWidget(parent) {
    setFixedSize(232, 100);
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF square = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient blue(0, 0, 0, height());
    blue.setColorAt(0, QColor(0x3c, 0x9a, 0xe2));
    blue.setColorAt(0.5, QColor(0x0c, 0x71, 0xc2));
    blue.setColorAt(1, QColor(0x08, 0x52, 0x90));
    p.setPen(QPen(QColor(0x06, 0x3c, 0x6c), 1));
    p.setBrush(blue);
    p.drawRoundedRect(square, 16, 16);

    struct Tile {
      QChar letter;
      int points;
    };
    const std::array<Tile, 5> tiles{{{u'Z', 10}, {u'A', 1}, {u'N', 1}, {u'D', 1}, {u'U', 1}}};
    constexpr qreal kTile = 36;
    constexpr qreal kGap = 7;
    const qreal left = (width() - (tiles.size() * kTile + (tiles.size() - 1) * kGap)) / 2;
    QFont letterFont;
    letterFont.setFamilies({QStringLiteral("Liberation Sans")});
    letterFont.setBold(true);
    letterFont.setPixelSize(23);
    QFont pointsFont = letterFont;
    pointsFont.setPixelSize(8);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      p.save();
      p.translate(left + i * (kTile + kGap) + kTile / 2, 12 + kTile / 2);
      p.rotate(i % 2 == 0 ? -4 : 4);
      const QRectF face(-kTile / 2, -kTile / 2, kTile, kTile);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0, 0, 0, 70));
      p.drawRoundedRect(face.translated(1.5, 2), 5, 5);
      QLinearGradient cream(0, face.top(), 0, face.bottom());
      cream.setColorAt(0, QColor(0xff, 0xf6, 0xe0));
      cream.setColorAt(1, QColor(0xf0, 0xd8, 0xa4));
      p.setPen(QPen(QColor(0xa0, 0x78, 0x38), 1));
      p.setBrush(cream);
      p.drawRoundedRect(face, 5, 5);
      p.setPen(QColor(0x3a, 0x26, 0x10));
      p.setFont(letterFont);
      p.drawText(face.adjusted(0, 2, 0, 0), Qt::AlignCenter, QString(tiles[i].letter));
      p.setFont(pointsFont);
      p.drawText(face.adjusted(3, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                 QString::number(tiles[i].points));
      p.restore();
    }

    QFont nameFont = letterFont;
    nameFont.setPixelSize(24);
    nameFont.setLetterSpacing(QFont::AbsoluteSpacing, 7);
    p.setFont(nameFont);
    p.setPen(Qt::white);
    // Letter spacing also follows the last letter; shift by half of it to stay centred.
    p.drawText(QRectF(3.5, 56, width(), 40), Qt::AlignCenter, QStringLiteral("PELIX"));
  }
};

QLabel* namedLabel(const QString& text, const QString& name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

Tabout::Tabout(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setWindowTitle(QStringLiteral("Zandu Pelix - About"));
  gui::useGameFont(*this);

  logo_ = new Logo(this);
  logo_->setObjectName(QStringLiteral("image_logo"));
  logo_->installEventFilter(this);

  url_ = namedLabel(QString::fromLatin1(kMakerAddress), QStringLiteral("label_url"), this);
  url_->setAlignment(Qt::AlignCenter);
  url_->setCursor(Qt::PointingHandCursor);
  QFont linkFont = url_->font();
  linkFont.setUnderline(true);
  url_->setFont(linkFont);
  QPalette linkColours = url_->palette();
  linkColours.setColor(QPalette::WindowText, linkColours.color(QPalette::Link));
  url_->setPalette(linkColours);
  url_->installEventFilter(this);

  const std::string_view number = zp::kGameVersion;
  version_ = namedLabel(QString::fromLatin1(number.data(), qsizetype(number.size())),
                        QStringLiteral("version"), this);
  auto* build = namedLabel(QString::fromLatin1(kBuild), QStringLiteral("label_build"), this);
  auto* versionLine = new QHBoxLayout;
  versionLine->setSpacing(0);
  versionLine->addStretch();
  versionLine->addWidget(
      namedLabel(QStringLiteral("Version"), QStringLiteral("label_version"), this));
  versionLine->addSpacing(4);
  versionLine->addWidget(version_);
  versionLine->addWidget(build);
  versionLine->addStretch();

  auto* done = new QPushButton(QStringLiteral("Done"), this);
  done->setObjectName(QStringLiteral("button_done"));
  done->setDefault(true);
  connect(done, &QPushButton::clicked, this, &QWidget::hide);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->setSpacing(8);
  layout->addWidget(logo_, 0, Qt::AlignHCenter);
  layout->addSpacing(2);
  layout->addWidget(url_);
  layout->addLayout(versionLine);
  layout->addSpacing(4);
  layout->addWidget(done, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString Tabout::version() const {
  return version_->text();
}

void Tabout::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) gui::centreWindow(*this, parentWidget());
  QDialog::showEvent(event);
}

bool Tabout::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == logo_ || watched == url_) && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const auto* widget = static_cast<QWidget*>(watched);
    // The result is not checked: without a browser there is nothing useful to tell the user.
    if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint()))
      QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + url_->text()));
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace zp::windows
