#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QStringList>
#include <QStyledItemDelegate>
#include <vector>

namespace zp::lobby_gui {

// Draws the players column name by name, each in a frame of its own: the list is the lobby's,
// never read from a name, so a name holding commas stays one player and one that turns its
// text around or runs long stays within its frame.
class PlayersDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  // A name longer than this is cut with "…" inside its frame.
  static constexpr int kMaxNameWidth = 140;
  static constexpr int kPadding = 4;
  static constexpr int kGap = 4;

  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  struct Frame {
    QRect rect;
    QString text;
  };
  // The frames of `names` from the left of `area`, one per name while they fit; the names
  // that do not fit are counted in a last "+N" frame.
  static std::vector<Frame> layout(const QStringList& names, const QFontMetrics& metrics,
                                   const QRect& area);
};

}  // namespace zp::lobby_gui
