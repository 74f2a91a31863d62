#include "gui/lobby/players_delegate.h"

#include <QApplication>
#include <QPainter>

#include "gui/lobby/table_rows_model.h"

namespace zp::lobby_gui {

std::vector<PlayersDelegate::Frame> PlayersDelegate::layout(const QStringList& names,
                                                            const QFontMetrics& metrics,
                                                            const QRect& area) {
  std::vector<Frame> frames;
  const int height = std::min(area.height() - 2, metrics.height() + 2);
  const int top = area.top() + (area.height() - height) / 2;
  int left = area.left() + kGap / 2;
  const auto frameFor = [&](const QString& text) {
    return Frame{QRect(left, top, metrics.horizontalAdvance(text) + 2 * kPadding, height), text};
  };
  for (qsizetype n = 0; n < names.size(); ++n) {
    Frame frame = frameFor(metrics.elidedText(names[n], Qt::ElideRight, kMaxNameWidth));
    // Room for the count of the names after this one, unless it is the last.
    const qsizetype after = names.size() - n - 1;
    const int more = after > 0 ? frameFor(QStringLiteral("+%1").arg(after)).rect.width() + kGap : 0;
    if (frame.rect.right() + more > area.right()) {
      frames.push_back(frameFor(QStringLiteral("+%1").arg(names.size() - n)));
      break;
    }
    left = frame.rect.right() + 1 + kGap;
    frames.push_back(std::move(frame));
  }
  return frames;
}

void PlayersDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const QStringList names = index.data(TableRowsModel::kPlayersRole).toStringList();
  if (names.isEmpty()) return QStyledItemDelegate::paint(painter, option, index);
  QStyleOptionViewItem cell = option;
  initStyleOption(&cell, index);
  cell.text.clear();  // the frames say it
  const QWidget* view = option.widget;
  QStyle* style = view ? view->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);

  const bool selected = option.state & QStyle::State_Selected;
  const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
  QColor border = text;
  border.setAlpha(110);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setFont(cell.font);
  for (const Frame& frame : layout(names, QFontMetrics(cell.font), option.rect)) {
    painter->setPen(border);
    painter->drawRoundedRect(QRectF(frame.rect).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter->setPen(text);
    // Each name is laid out on its own: its direction ends at its frame.
    painter->drawText(frame.rect, Qt::AlignCenter | Qt::TextSingleLine, frame.text);
  }
  painter->restore();
}

QSize PlayersDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  const QStringList names = index.data(TableRowsModel::kPlayersRole).toStringList();
  if (names.isEmpty()) return QStyledItemDelegate::sizeHint(option, index);
  const QFontMetrics metrics(option.font);
  int width = kGap;
  for (const QString& name : names)
    width += std::min(metrics.horizontalAdvance(name), kMaxNameWidth) + 2 * kPadding + kGap;
  return {width, metrics.height() + 8};
}

}  // namespace zp::lobby_gui
