#pragma once
// A main window over a scratch settings file and a scripted server, and the helpers to drive its
// modal boxes and dialogs the way a person would.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/SettingsFile.h"
#include "demo/ScriptedHttpServer.h"
#include "tests/support/CurlEnvironment.h"
#include "tests/support/Eventually.h"
#include "tests/support/ScratchFolder.h"
#include "ui/MainWindow.h"

namespace tallyvane::ui::testing {

using tallyvane::testing::ScratchFolder;

// Processes events until done() holds; a failure once the deadline has passed.
inline ::testing::AssertionResult waitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::duration_cast<std::chrono::milliseconds>(tallyvane::testing::kEventDeadline);
  if (QTest::qWaitFor(done, static_cast<int>(deadline.count()))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "not so after " << deadline.count() << " ms";
}

// Once a modal window of type W is up, hands it to act, again until it has closed. For boxes and
// dialogs that run their own event loop.
template <typename W>
void whenModalOpens(std::function<void(W*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    auto* modal = qobject_cast<W*>(QApplication::activeModalWidget());
    if (modal == nullptr) return;
    act(modal);
    if (modal->isVisible()) return;  // a file dialog may still be reading its folder
    poll->stop();
    poll->deleteLater();
  });
  poll->start(10);
}

// Answers the next file dialog with path as a person does: the whole path typed into the name
// field, then Return.
inline void answerFileDialog(const std::filesystem::path& path) {
  whenModalOpens<QFileDialog>([path](QFileDialog* dialog) {
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    if (name == nullptr) return;
    name->setText(QString::fromStdString(path.string()));
    QTest::keyClick(name, Qt::Key_Return);
  });
}

// The texts of the message boxes the window shows, and closes them.
inline std::vector<std::string> takeMessages(QWidget& window) {
  std::vector<std::string> texts;
  for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
    if (!box->isVisible()) continue;
    texts.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
    box->close();
  }
  return texts;
}

// Answers Yes whenever the window asks before throwing away results that were never saved, so a
// test can go from one crawl to the next; the tests of that question switch it off.
class DiscardAnswers : public QObject {
 public:
  DiscardAnswers() {
    QObject::connect(&poll_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (enabled && box != nullptr && box->text() == kDiscardResultsQuestion) box->button(QMessageBox::Yes)->click();
    });
    poll_.start(10);
  }
  bool enabled = true;

 private:
  QTimer poll_;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    settings.NumThreads = 4;
    server.fallback([](const demo::ReceivedRequest& r) {
      return demo::reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html"});
    });
  }

  MainWindow& window() {
    if (!window_) {
      window_ = std::make_unique<MainWindow>(tallyvane::testing::httpLibrary(), settings,
                                             settingsLocationOf(scratch / "settings.prefs"));
      window_->show();
    }
    return *window_;
  }

  // Quits as the program does at its end; false when the window refused.
  bool closeWindow() {
    if (!window_) return true;
    if (!window_->close()) return false;
    window_.reset();
    return true;
  }

  void TearDown() override {
    if (!window_) return;
    window_->session().crawl().stop();
    window_->session().crawl().waitFor(tallyvane::testing::kEventDeadline);
    closeWindow();
  }

  // The URLs as lines, as the manual-entry window or the clipboard gives them.
  QString lines(const std::vector<std::string>& paths) const {
    QString text;
    for (const std::string& path : paths) text += QString::fromStdString(server.url(path)) + "\n";
    return text;
  }

  // A request for path that is never answered.
  void hangOn(const std::string& path) {
    server.route(path, [](const demo::ReceivedRequest&) {
      demo::ScriptedReply reply;
      reply.hang = true;
      return reply;
    });
  }

  ::testing::AssertionResult waitForCrawlEnd() {
    return waitUntil([this] { return !window_->crawlStillActive() && !window_->abortButton()->isEnabled(); });
  }

  ScratchFolder scratch;
  demo::ScriptedHttpServer server;
  Settings settings = defaultSettings(1920);
  DiscardAnswers discardAnswers;

 private:
  std::unique_ptr<MainWindow> window_;
};

}  // namespace tallyvane::ui::testing
