#include "app/FileTask.h"

#include "base/AlternateSignalStack.h"

namespace tallyvane {

void FileTask::start(FileWork work) {
  wait();
  quitting_ = false;
  thread_ = std::thread([this, work = std::move(work)] {
    const AlternateSignalStack signalStack;
    const TaskProgress progress = [this](int64_t done, int64_t total, const std::string& text) {
      ui_.showProgress(text, done, total);
    };
    const std::optional<Message> failure = work(progress, quitting_);
    succeeded_ = !failure && !quitting_;
    if (failure && !quitting_) ui_.showMessage(failure->title, failure->text);
  });
}

bool FileTask::wait() {
  if (thread_.joinable()) thread_.join();
  return succeeded_;
}

void FileTask::quit() {
  quitting_ = true;
  wait();
}

}  // namespace tallyvane
