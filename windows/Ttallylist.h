#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "records/tally_table.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QShowEvent;

namespace zp::windows {

// The long-running tally of games and wins. The table holds every rule; the window draws
// it and forwards ticks, selections and the two buttons to it. The main window feeds the
// table and calls refresh() afterwards.
//
//   Ttallylist tallylist(tally, &chat);
//   tally.loadchecklist(otherSeats);
//   tallylist.refresh();
class Ttallylist : public QDialog {
  Q_OBJECT
 public:
  // A Yes/No question; true for Yes.
  using Question = std::function<bool(const QString& text)>;

  Ttallylist(records::TallyTable& tally, QWidget* parent = nullptr);
  // With an empty table of its own, for a window that nothing feeds.
  explicit Ttallylist(QWidget* parent = nullptr);
  ~Ttallylist() override;

  records::TallyTable& tally() { return *tally_; }
  // Draws the table as it stands: labels, both lists, the selection.
  void refresh();
  // Replaces the message box that asks before a tally is deleted or reset.
  void setQuestion(Question ask);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void build();
  void checklistChanged(QListWidgetItem* item);
  void talliedChanged(QListWidgetItem* item);
  void talliedSelected(int row);
  void resetClicked();

  std::unique_ptr<records::TallyTable> own_;
  records::TallyTable* tally_ = nullptr;
  Question ask_;
  bool placed_ = false;

  std::array<QLabel*, 4> mylabels_{};
  std::array<QLabel*, 8> labels_{};
  QLabel* label_hisnametop = nullptr;
  QLabel* label_hisname = nullptr;
  QListWidget* listbox_tally = nullptr;
  QListWidget* checklist = nullptr;
};

}  // namespace zp::windows
