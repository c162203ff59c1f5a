#pragma once
// What makes a long check survive a kill: the results file it resumes from, and the checkpoints
// that keep that file up to date while the crawl runs.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/Checkpoints.h"
#include "app/CrawlSession.h"
#include "cli/CheckCommand.h"
#include "cli/ConsoleInterface.h"
#include "cli/OutputPlan.h"

namespace tallyvane::cli {

inline constexpr double kDefaultCheckpointMinutes = 5;

// --resume, --checkpoint and --shard (each empty when not given) into the run's options; --resume
// also names the results file to save. The message naming what is wrong, or nothing.
std::optional<std::string> parseRunOptions(const std::string& resume, const std::string& checkpointMinutes,
                                           const std::string& shard, OutputOptions& outputs, CheckOptions& options);

// Loads a results file into the session's store on its file task, a Ctrl-C stopping it; false
// when it did not load whole (its message has been shown).
bool loadIntoSession(CrawlSession& session, const std::filesystem::path& file);

// Loads the run to resume into the session's store. A file that does not exist yet starts the run
// from nothing (a job restarted before its first checkpoint). Nothing when the crawl may start;
// else the exit status: the file would not load, or holds another kind of run than testMode.
std::optional<int> loadRunToResume(CrawlSession& session, const std::filesystem::path& file, TestMode testMode,
                                   ConsoleInterface& ui);

// Checkpoints of the session's store into file every interval, failures told on the console;
// nothing when interval is zero.
std::unique_ptr<Checkpoints> startCheckpoints(const CrawlSession& session, TestMode testMode,
                                              const std::filesystem::path& file, std::chrono::milliseconds interval,
                                              ConsoleInterface& ui);

}  // namespace tallyvane::cli
