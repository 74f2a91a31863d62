#include "windows/Tphrases.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/look.h"

namespace zp::windows {

Tphrases::Tphrases(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Zandu Pelix - Phrase Buttons "));
  gui::useSideWindowLook(*this);

  auto* form = new QFormLayout;
  form->setHorizontalSpacing(10);
  form->setVerticalSpacing(6);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  for (int n = 1; n <= 9; ++n) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QStringLiteral("phrase%1").arg(n));
    field->setMaxLength(kMaxLength);
    field->setMinimumWidth(260);
    fields_[std::size_t(n - 1)] = field;
    auto* caption = new QLabel(QStringLiteral("Phrase Button %1:").arg(n), this);
    caption->setBuddy(field);
    form->addRow(caption, field);
  }

  auto* note = new QLabel(QStringLiteral("Buttons can only be used once every 2 seconds"), this);
  note->setObjectName(QStringLiteral("label_note"));
  gui::styleLabel(*note, {.italic = true});

  auto* done = new QPushButton(QStringLiteral("Done"), this);
  done->setObjectName(QStringLiteral("button_done"));
  done->setDefault(true);
  connect(done, &QPushButton::clicked, this, &Tphrases::doneClicked);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->setSpacing(12);
  layout->addLayout(form);
  layout->addWidget(note, 0, Qt::AlignHCenter);
  layout->addWidget(done, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void Tphrases::openWith(const Phrases& phrases) {
  phrases_ = phrases;
  fill();
}

Tphrases::Phrases Tphrases::texts() const {
  Phrases texts;
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = fields_[i]->text().toStdString();
  return texts;
}

void Tphrases::fill() {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const QString text = QString::fromStdString(phrases_[i]);
    // A longer phrase from the settings file is shown whole, not cut by opening the editor;
    // typing still stops at the limit.
    fields_[i]->setMaxLength(std::max<int>(kMaxLength, int(text.size())));
    fields_[i]->setText(text);
  }
  fields_[0]->setFocus();
  fields_[0]->selectAll();
}

void Tphrases::doneClicked() {
  phrases_ = texts();
  if (hooks_.done) hooks_.done(phrases_);
  accept();
}

void Tphrases::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    if (hooks_.current) phrases_ = hooks_.current();
    // Also what drops the edits of an opening that ended without Done.
    fill();
    gui::centreOnce(*this, placed_);
  }
  QDialog::showEvent(event);
}

}  // namespace zp::windows
