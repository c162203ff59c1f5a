#include "cli/RunFilesCommands.h"

#include <nlohmann/json.hpp>

#include "app/CrawlSession.h"
#include "base/FileContents.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupts.h"
#include "cli/ResumableRun.h"
#include "results/ResultColumns.h"
#include "results/ResultsDiff.h"
#include "results/ResultsMerge.h"

namespace tallyvane::cli {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kChanged = "changed";
constexpr std::string_view kOnlyBefore = "only before";
constexpr std::string_view kOnlyAfter = "only after";

std::string_view changeOf(const UrlDiff& diff) {
  if (!diff.after) return kOnlyBefore;
  return diff.before ? kChanged : kOnlyAfter;
}

std::string changesText(const UrlDiff& diff) {
  std::string text;
  for (const ResultChange change : diff.changes) {
    if (!text.empty()) text += ',';
    text += kResultChangeNames[static_cast<size_t>(change)];
  }
  return text;
}

// What a diff shows of one side: final status, final URL, redirects, chain and verdict.
std::vector<std::string> sideFields(const ResultRecord* record, bool verdicts) {
  if (!record) return {"", "", "", "", ""};
  const auto chain = chainKindName(*record);
  return {statusCodeText(record->last()), std::string(textOf(record->last().url)),
          std::to_string(record->redirectCount()), chain ? std::string(*chain) : std::string(),
          verdicts ? (record->testPassed == 1 ? "PASS" : "FAIL") : ""};
}

Json sideJson(const ResultRecord* record, bool verdicts) {
  if (!record) return nullptr;
  const ResponseRecord& last = record->last();
  const auto chain = chainKindName(*record);
  return {{"final_status_code", last.statusCode != 0 ? Json(last.statusCode) : Json(nullptr)},
          {"final_url", textOf(last.url)},
          {"redirects", record->redirectCount()},
          {"chain", chain ? Json(*chain) : Json(nullptr)},
          {"verdict", verdicts ? Json(record->testPassed == 1 ? "PASS" : "FAIL") : Json(nullptr)}};
}

std::string diffHeading(LineFormat format) {
  if (format == LineFormat::Jsonl) return {};
  std::vector<std::string> titles{"URL", "Change", "What Changed"};
  for (const std::string_view side : {"Before", "After"}) {
    for (const std::string_view field : {"Final Status Code", "Final URL", "# Redirects", "Chain", "Test Result"}) {
      titles.push_back(std::string(side) + " " + std::string(field));
    }
  }
  return fieldsLine(titles, format);
}

std::string diffLine(const UrlDiff& diff, bool beforeVerdicts, bool afterVerdicts, LineFormat format) {
  const ResultRecord& any = diff.before ? *diff.before : *diff.after;
  const std::string url(textOf(any.first().url));
  if (format == LineFormat::Jsonl) {
    Json changes = Json::array();
    for (const ResultChange change : diff.changes) changes.push_back(kResultChangeNames[static_cast<size_t>(change)]);
    const Json line = {{"url", url},
                       {"change", changeOf(diff)},
                       {"changes", std::move(changes)},
                       {"before", sideJson(diff.before, beforeVerdicts)},
                       {"after", sideJson(diff.after, afterVerdicts)}};
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
  }
  std::vector<std::string> fields{url, std::string(changeOf(diff)), changesText(diff)};
  for (auto& field : sideFields(diff.before, beforeVerdicts)) fields.push_back(std::move(field));
  for (auto& field : sideFields(diff.after, afterVerdicts)) fields.push_back(std::move(field));
  return fieldsLine(fields, format);
}

}  // namespace

int runMerge(const std::string& output, const std::vector<std::string>& inputs, ConsoleInterface& ui, std::FILE* out) {
  std::vector<std::filesystem::path> files(inputs.begin(), inputs.end());
  for (const auto& input : files) {
    if (sameFile(input, output)) {
      ui.showMessage(kErrorTitle, "Cannot merge into " + output + ": it is one of the inputs");
      return kExitError;
    }
  }
  const MergeOutcome merged = mergeResults(files, output);
  if (merged.message) {
    ui.showMessage(merged.message->title, merged.message->text);
    return kExitError;
  }
  std::fprintf(out, "Merged %zu files into %s: %lld URLs; URLs found in more than one file (first kept): %lld\n",
               files.size(), output.c_str(), static_cast<long long>(merged.records),
               static_cast<long long>(merged.duplicates));
  return kExitFinished;
}

int runDiff(const std::string& before, const std::string& after, std::optional<LineFormat> format, bool failOnChange,
            ConsoleInterface& ui, std::FILE* out) {
  CrawlSession beforeRun(ui, nullptr, ResultStoreOptions{}.slowPageThresholdMs);
  CrawlSession afterRun(ui, nullptr, ResultStoreOptions{}.slowPageThresholdMs);
  if (!loadIntoSession(beforeRun, before) || !loadIntoSession(afterRun, after)) {
    return interrupted() ? kExitAborted : kExitError;
  }
  const LineFormat lines = format.value_or(LineFormat::Tsv);
  const bool beforeVerdicts = beforeRun.testMode() != TestMode::None;
  const bool afterVerdicts = afterRun.testMode() != TestMode::None;
  std::fputs(diffHeading(lines).c_str(), out);
  int64_t differences = 0;
  diffResults(beforeRun.store(), beforeVerdicts, afterRun.store(), afterVerdicts, [&](const UrlDiff& diff) {
    ++differences;
    if (!std::ferror(out)) std::fputs(diffLine(diff, beforeVerdicts, afterVerdicts, lines).c_str(), out);
  });
  std::fflush(out);
  std::fprintf(stderr, "URLs changed or in one run only: %lld\n", static_cast<long long>(differences));
  return failOnChange && differences > 0 ? kExitTestFailed : kExitFinished;
}

}  // namespace tallyvane::cli
