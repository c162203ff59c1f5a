#include "cli/ConsoleInterface.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace tallyvane::cli {

ConsoleInterface::~ConsoleInterface() { stopProgress(); }

void ConsoleInterface::holdMessage(std::string_view title) {
  std::lock_guard lock(mutex_);
  heldTitle_ = title;
  heldText_.reset();
}

void ConsoleInterface::releaseHeldMessage(bool show) {
  std::string title;
  std::optional<std::string> text;
  {
    std::lock_guard lock(mutex_);
    title = std::exchange(heldTitle_, {});
    text = std::exchange(heldText_, std::nullopt);
  }
  if (show && text) showMessage(title, *text);
}

void ConsoleInterface::showMessage(std::string_view title, std::string_view text) {
  {
    std::lock_guard lock(mutex_);
    if (!heldTitle_.empty() && title == heldTitle_) {
      heldText_ = std::string(text);
      return;
    }
  }
  std::string line(title);
  line += ": ";
  // Messages break their lines with CR, which a terminal would print over.
  for (const char c : text) line.push_back(c == '\r' ? '\n' : c);
  std::lock_guard lock(mutex_);
  if (busy_) printProgress();  // the counters the message speaks of come first
  if (lineOpen_) std::fputc('\n', out_);
  lineOpen_ = false;
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void ConsoleInterface::setStatusField(int field, std::string_view text) {
  // The progress line says what the status fields would, and more, once URLs are checked; before
  // that, the URL field tells what the crawl is at (the sitemaps of an index being read).
  if (field != kUrlsField) return;
  std::lock_guard lock(mutex_);
  urlsField_ = text;
}

void ConsoleInterface::showLastProgress() {
  if (!progress_) return;
  std::lock_guard lock(mutex_);
  printProgress();
  if (lineOpen_) std::fputc('\n', out_);
  lineOpen_ = false;
}

void ConsoleInterface::setProgressLine(std::function<std::string()> line) {
  std::lock_guard lock(mutex_);
  progressLine_ = std::move(line);
  shownLine_.clear();
}

void ConsoleInterface::setBusy(bool busy) {
  if (!busy) return stopProgress();
  if (!progress_ || printer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    busy_ = true;
  }
  printer_ = std::thread([this] {
    const auto interval = isTerminal() ? std::chrono::milliseconds(250) : std::chrono::milliseconds(10000);
    std::unique_lock lock(mutex_);
    while (!idle_.wait_for(lock, interval, [this] { return !busy_; })) printProgress();
    printProgress();
    if (lineOpen_) std::fputc('\n', out_);
    lineOpen_ = false;
  });
}

bool ConsoleInterface::isTerminal() const {
  if (out_ != stderr || !::isatty(::fileno(stderr))) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::string_view(term) != "dumb";
}

void ConsoleInterface::showProgress(std::string_view text, int64_t done, int64_t total) {
  if (!progress_) return;
  std::lock_guard lock(mutex_);
  // At most four lines a second, and always the last one.
  const auto now = std::chrono::steady_clock::now();
  if (done < total && now - lastProgress_ < std::chrono::milliseconds(250)) return;
  lastProgress_ = now;
  if (!taskName_.empty()) std::fprintf(out_, "%s: ", taskName_.c_str());
  std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(out_);
}

void ConsoleInterface::stopProgress() {
  {
    std::lock_guard lock(mutex_);
    busy_ = false;
  }
  idle_.notify_all();
  if (printer_.joinable()) printer_.join();
}

void ConsoleInterface::printProgress() {
  if (!progressLine_) return;
  std::string line = progressLine_();
  if (line.empty()) line = urlsField_;
  if (line.empty() || line == shownLine_) return;
  if (isTerminal()) {
    std::fprintf(out_, "\r%s\x1b[K", line.c_str());
    lineOpen_ = true;
  } else {
    std::fprintf(out_, "%s\n", line.c_str());
  }
  std::fflush(out_);
  shownLine_ = std::move(line);
}

}  // namespace tallyvane::cli
