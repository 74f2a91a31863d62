#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QWidget>
#include <array>
#include <functional>

namespace zp::windows {

// The game start dialog: the score to play to, the time per turn, the shuffles and the
// team game. It holds no rule: the arrows ask the window's session to step a value within
// its range, and the start button asks it to start the game.
class Tgamestart : public QWidget {
  Q_OBJECT

 public:
  enum Field { kPlayTo = 0, kSeconds = 1, kShuffles = 2 };
  struct Hooks {
    std::function<void(Field field, bool up)> arrow;
    // The computer's strength (0 easy .. 3 expert, as kComputerStrengths) goes to the table
    // this window hosts, never over the wire.
    std::function<void(bool team, int computer)> start;
    std::function<std::array<int, 3>()> values;
    std::function<int()> computer;
    // The unhurried table: read when the dialog shows, told when the player changes it.
    std::function<bool()> unhurried;
    std::function<void(bool)> setUnhurried;
  };

  explicit Tgamestart(QWidget* parent = nullptr);
  void setHooks(Hooks hooks);
  // Shows the values the session holds now.
  void refresh();

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  Hooks hooks_;
  std::array<QLabel*, 3> values_{};
  std::array<QWidget*, 6> arrows_{};    // up and down for each value
  std::array<QWidget*, 1> steppers_{};  // the first value's, where the keyboard starts
  QCheckBox* checkbox_team = nullptr;
  QCheckBox* checkbox_unhurried = nullptr;
  QComboBox* combo_computer = nullptr;
};

}  // namespace zp::windows
