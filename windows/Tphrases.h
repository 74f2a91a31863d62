#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QLineEdit;
class QShowEvent;

namespace zp::windows {

// Edits the phrases of the chat's nine phrase buttons. Every opening shows the buttons'
// phrases; Done hands the edited texts over, any other way of closing drops them.
//
//   phrases.setHooks({[&] { /* the nine buttons' phrases */ },
//                     [&](const Tphrases::Phrases& p) { session.setPhrases(p); }});
//   phrases.show();
class Tphrases : public QDialog {
  Q_OBJECT
 public:
  using Phrases = std::array<std::string, 9>;
  static constexpr int kMaxLength = 50;

  struct Hooks {
    // The buttons' phrases, read at every opening.
    std::function<Phrases()> current;
    // Done: the nine texts as typed, empty ones included.
    std::function<void(const Phrases&)> done;
  };

  explicit Tphrases(QWidget* parent = nullptr);

  void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }
  // Fills the fields with the buttons' phrases; showing afterwards keeps them unless a
  // `current` hook is set, which is read again.
  void openWith(const Phrases& phrases);
  // The fields' texts.
  Phrases texts() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void fill();
  void doneClicked();

  Hooks hooks_;
  Phrases phrases_;  // the buttons' phrases as last known
  bool placed_ = false;
  std::array<QLineEdit*, 9> fields_{};
};

}  // namespace zp::windows
