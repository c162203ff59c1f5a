#include "cli/LiveLines.h"

namespace tallyvane::cli {

LiveLines::LiveLines(const ResultStore& store, LineContext context, LineFormat format, std::FILE* out)
    : store_(store), context_(std::move(context)), format_(format), out_(out) {
  std::fputs(headingLine(format, context_.testMode).c_str(), out_);
  std::fflush(out_);
  writer_ = std::thread([this] { run(); });
}

void LiveLines::recordsAdded() {
  {
    std::lock_guard lock(mutex_);
    added_ = true;
  }
  wake_.notify_one();
}

void LiveLines::finish() {
  {
    std::lock_guard lock(mutex_);
    finishing_ = true;
  }
  wake_.notify_one();
  if (writer_.joinable()) writer_.join();
}

void LiveLines::run() {
  for (;;) {
    bool last = false;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return added_ || finishing_; });
      added_ = false;
      last = finishing_;
    }
    if (!writeUpTo(store_.count()) || last) return;
  }
}

bool LiveLines::writeUpTo(int64_t count) {
  for (; written_ < count; ++written_) {
    const std::string line = resultLine(*store_.recordAtIndex(written_), context_, format_);
    if (std::fputs(line.c_str(), out_) == EOF) return false;
  }
  return std::fflush(out_) == 0 && !std::ferror(out_);
}

}  // namespace tallyvane::cli
