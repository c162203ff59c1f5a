#include "ui/QtUserInterface.h"

#include <QMetaObject>
#include <QThread>

#include <memory>
#include <string>

#include "ui/MainWindow.h"
#include "ui/MessageBoxes.h"

namespace tallyvane::ui {

template <typename Call>
void QtUserInterface::onMainThread(Call call) {
  if (QThread::currentThread() == window_.thread()) {
    call();
  } else {
    // The window is the context: calls still queued when it is destroyed are dropped.
    QMetaObject::invokeMethod(&window_, std::move(call), Qt::QueuedConnection);
  }
}

void QtUserInterface::showMessage(std::string_view title, std::string_view text) {
  onMainThread([this, title = std::string(title), text = std::string(text)] { window_.showMessage(title, text); });
}

bool QtUserInterface::askYesNo(std::string_view title, std::string_view text) {
  if (QThread::currentThread() == window_.thread()) return ui::askYesNo(&window_, title, text);
  struct Answer {
    bool given = false;
    bool yes = false;
  };
  auto answer = std::make_shared<Answer>();
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return false;
  }
  onMainThread([this, answer, title = std::string(title), text = std::string(text)] {
    const bool yes = ui::askYesNo(&window_, title, text);
    std::lock_guard lock(mutex_);
    answer->yes = yes;
    answer->given = true;
    answered_.notify_all();
  });
  std::unique_lock lock(mutex_);
  answered_.wait(lock, [&] { return answer->given || shutDown_; });
  return answer->given && answer->yes;
}

void QtUserInterface::shutDown() {
  std::lock_guard lock(mutex_);
  shutDown_ = true;
  answered_.notify_all();
}

void QtUserInterface::setStatusField(int field, std::string_view text) {
  onMainThread([this, field, text = std::string(text)] { window_.setStatusText(field, text); });
}

void QtUserInterface::setBusy(bool busy) {
  onMainThread([this, busy] { window_.setCrawlBusy(busy); });
}

void QtUserInterface::showProgress(std::string_view text, int64_t done, int64_t total) {
  onMainThread([this, done, total, text = std::string(text)] { window_.showTaskProgress(text, done, total); });
}

}  // namespace tallyvane::ui
