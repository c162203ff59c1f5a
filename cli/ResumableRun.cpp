#include "cli/ResumableRun.h"

#include <cmath>
#include <cstdlib>

#include "base/FileContents.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupts.h"

namespace tallyvane::cli {

std::optional<std::string> parseRunOptions(const std::string& resume, const std::string& checkpointMinutes,
                                           const std::string& shard, OutputOptions& outputs, CheckOptions& options) {
  if (!resume.empty()) {
    if (!outputs.save.empty() && !sameFile(outputs.save, resume) && outputs.save != resume) {
      return "--resume saves to the file it resumes: leave out --save " + outputs.save;
    }
    outputs.save = resume;
    options.resume = resume;
  }
  double minutes = outputs.save.empty() ? 0 : kDefaultCheckpointMinutes;
  if (!checkpointMinutes.empty()) {
    if (outputs.save.empty()) return std::string("--checkpoint saves the results file: give --save or --resume");
    char* end = nullptr;
    minutes = std::strtod(checkpointMinutes.c_str(), &end);
    if (end != checkpointMinutes.c_str() + checkpointMinutes.size() || !(minutes >= 0 && minutes <= 24 * 60)) {
      return "Invalid --checkpoint \"" + checkpointMinutes + "\": use minutes from 0 (no checkpoints) to 1440";
    }
  }
  options.checkpointInterval = std::chrono::milliseconds(std::llround(minutes * 60'000));
  if (!shard.empty()) {
    ShardParse parsed = parseShard(shard);
    if (!parsed.shard) return parsed.problem;
    options.shard = parsed.shard;
  }
  return std::nullopt;
}

bool loadIntoSession(CrawlSession& session, const std::filesystem::path& file) {
  session.startLoad(file);
  const StopOnInterrupt stop([&session] { session.stopFileTask(); });
  return session.finishFileTask().succeeded;
}

std::optional<int> loadRunToResume(CrawlSession& session, const std::filesystem::path& file, TestMode testMode,
                                   ConsoleInterface& ui) {
  std::error_code ignored;
  if (!std::filesystem::exists(file, ignored)) {
    ui.showMessage("Resume", file.string() + " does not exist yet: the run starts from the beginning");
    return std::nullopt;
  }
  if (!loadIntoSession(session, file)) return interrupted() ? kExitAborted : kExitError;
  // The file keeps verdicts, not the name of its test: a check and a test are told apart.
  const bool holdsVerdicts = session.testMode() != TestMode::None;
  if (session.store().count() > 0 && holdsVerdicts != (testMode != TestMode::None)) {
    ui.showMessage(kErrorTitle, "Cannot resume " + file.string() + ": it holds the results of " +
                                    (holdsVerdicts ? "a test; resume it with mapping-test or canonical-test"
                                                   : "check; resume it with check"));
    return kExitError;
  }
  return std::nullopt;
}

std::unique_ptr<Checkpoints> startCheckpoints(const CrawlSession& session, TestMode testMode,
                                              const std::filesystem::path& file, std::chrono::milliseconds interval,
                                              ConsoleInterface& ui) {
  if (interval.count() <= 0 || file.empty()) return nullptr;
  return std::make_unique<Checkpoints>(session.store(), testMode, file, interval, [&ui, file](const Message& failure) {
    ui.showMessage("Checkpoint", "not written to " + file.string() + " (" + failure.text + "); the run goes on");
  });
}

}  // namespace tallyvane::cli
