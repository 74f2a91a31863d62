#include "gui/lobby/host_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "client/settings.h"
#include "gui/look.h"
#include "net/catalogue.h"

namespace zp::lobby_gui {
namespace {

QSpinBox* spinBox(client::FieldRange range, int step, int value, const QString& name,
                  QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setRange(range.min, range.max);
  box->setSingleStep(step);
  box->setValue(value);
  box->setAccessibleName(name);
  return box;
}

}  // namespace

HostDialog::HostDialog(const lobby::HostChoice& offered, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Host a Table"));
  gui::useGameFont(*this);

  edit_tablename = new QLineEdit(QString::fromStdString(offered.tableName), this);
  edit_tablename->setMaxLength(net::kMaxTableNameChars);
  edit_tablename->setAccessibleName(QStringLiteral("Table name"));
  edit_tablename->setPlaceholderText(QStringLiteral("the name players find the table by"));
  spin_playto = spinBox(client::kPlaytoscoreRange, 50, offered.options.playTo,
                        QStringLiteral("Play to"), this);
  spin_seconds = spinBox(client::kCreationtimeRange, 5, offered.options.seconds,
                         QStringLiteral("Seconds per turn"), this);
  spin_seconds->setSuffix(QStringLiteral(" s"));
  // A player who takes their time (a blind player listening to the board) has no clock on
  // the turn, and 20 s for the fall.
  check_unhurried = new QCheckBox(QStringLiteral("&Unhurried"), this);
  check_unhurried->setAccessibleName(
      QStringLiteral("Unhurried: no turn limit, 20 seconds to choose the fall"));
  check_unhurried->setToolTip(check_unhurried->accessibleName());
  check_unhurried->setChecked(offered.options.unhurried);
  spin_seconds->setEnabled(!offered.options.unhurried);
  connect(check_unhurried, &QCheckBox::toggled, spin_seconds,
          [this](bool on) { spin_seconds->setEnabled(!on); });
  combo_computer = new QComboBox(this);
  for (const ComputerStrength strength : kComputerStrengths) {
    QString name = QString::fromLatin1(computerStrengthName(strength));
    name[0] = name[0].toUpper();
    combo_computer->addItem(name);
  }
  combo_computer->setCurrentIndex(static_cast<int>(offered.options.computer));
  combo_computer->setAccessibleName(QStringLiteral("Computer"));

  // In the order of net::Visibility.
  combo_visibility = new QComboBox(this);
  combo_visibility->addItems({QStringLiteral("Public (listed, joinable by code)"),
                              QStringLiteral("Invite only (joinable by code, not listed)"),
                              QStringLiteral("Local (this network only, not registered)")});
  combo_visibility->setCurrentIndex(static_cast<int>(offered.visibility));
  combo_visibility->setAccessibleName(QStringLiteral("Who sees the table"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Table name:"), edit_tablename);
  form->addRow(QStringLiteral("&Play to:"), spin_playto);
  form->addRow(QStringLiteral("&Seconds per turn:"), spin_seconds);
  form->addRow(QString(), check_unhurried);
  form->addRow(QStringLiteral("&Computer:"), combo_computer);
  form->addRow(QStringLiteral("&Who sees it:"), combo_visibility);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  button_host = buttons->addButton(QStringLiteral("&Host"), QDialogButtonBox::AcceptRole);
  button_host->setAccessibleName(QStringLiteral("Host"));
  button_host->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  // Room for a table name of its full 40 characters.
  setMinimumWidth(420);
  edit_tablename->selectAll();
  edit_tablename->setFocus();
}

lobby::HostChoice HostDialog::choice() const {
  return {edit_tablename->text().toStdString(),
          {spin_playto->value(), spin_seconds->value(),
           kComputerStrengths[static_cast<std::size_t>(
               std::clamp(combo_computer->currentIndex(), 0, 3))],
           check_unhurried->isChecked()},
          static_cast<net::Visibility>(std::clamp(combo_visibility->currentIndex(), 0, 2))};
}

}  // namespace zp::lobby_gui
