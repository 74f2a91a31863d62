#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QButtonGroup;
class QLabel;
class QStackedWidget;
class QTextBrowser;

namespace zp::windows {

// The built-in help, one page per topic. Topics are numbered by their buttons' tags: 1 to 5
// and 11, as the pages have always been called ("memo1" … "memo5", "memo11").
class Thelp : public QDialog {
  Q_OBJECT
 public:
  explicit Thelp(QWidget* parent = nullptr);

  // What "About" does; the help window stays open. Without it the button does nothing.
  void setShowAbout(std::function<void()> showAbout);

  // Brings a topic's page to the front under its button's caption; false for an unknown
  // topic, which changes nothing.
  bool showTopic(int topic);
  int topic() const { return topic_; }

 private:
  QLabel* caption_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QButtonGroup* topics_ = nullptr;
  std::function<void()> showAbout_;
  int topic_ = 0;
};

}  // namespace zp::windows
