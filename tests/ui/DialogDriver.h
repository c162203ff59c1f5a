#pragma once
// Drives real dialogs as a user would: keys to the focused control, answers to message boxes, and
// the help pages the program asked the desktop to open.

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QObject>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <string>
#include <vector>

namespace tallyvane::testing {

// Presses a key where the keyboard focus is in the active window, as the user's keyboard would.
inline void pressKey(QWidget* window, Qt::Key key) {
  QWidget* target = window->focusWidget() ? window->focusWidget() : window;
  QTest::keyClick(target, key);
}

// Shows a window and waits until it has the keyboard.
inline bool showActive(QWidget* window) {
  window->show();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

// Answers (with OK) every message box opened while it lives, remembering "title: text": boxes that
// block their caller as they come, boxes that return at once when asked for what was seen.
class MessageBoxAnswers : public QObject {
 public:
  MessageBoxAnswers() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { answerOpenBoxes(); });
    timer_.start();
  }
  const std::vector<std::string>& seen() {
    answerOpenBoxes();
    return seen_;
  }

 private:
  void answerOpenBoxes() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(window);
      if (!box || !box->isVisible()) continue;
      seen_.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
      box->accept();
    }
  }

  QTimer timer_;
  std::vector<std::string> seen_;
};

// Takes the pages the program opens in the browser instead of the desktop.
class OpenedPages : public QObject {
  Q_OBJECT
 public:
  OpenedPages() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
  ~OpenedPages() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
  const std::vector<std::string>& pages() const { return pages_; }

  Q_INVOKABLE void open(const QUrl& url) { pages_.push_back(url.toString().toStdString()); }

 private:
  std::vector<std::string> pages_;
};

}  // namespace tallyvane::testing
