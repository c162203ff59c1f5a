#include "results/ResultsDiff.h"

#include <unordered_map>

#include "results/ResultColumns.h"

namespace tallyvane {
namespace {

using RecordsByUrl = std::unordered_map<std::string_view, const ResultRecord*>;

RecordsByUrl recordsByUrl(const ResultStore& store) {
  RecordsByUrl byUrl;
  byUrl.reserve(static_cast<size_t>(store.count()));
  for (int64_t i = 0; i < store.count(); ++i) {
    const ResultRecord* record = store.recordAtIndex(i);
    byUrl.emplace(textOf(record->first().url), record);
  }
  return byUrl;
}

std::vector<ResultChange> changesBetween(const ResultRecord& before, const ResultRecord& after, bool verdicts) {
  std::vector<ResultChange> changes;
  if (before.last().statusCode != after.last().statusCode) changes.push_back(ResultChange::FinalStatus);
  if (textOf(before.last().url) != textOf(after.last().url)) changes.push_back(ResultChange::FinalUrl);
  if (before.redirectCount() != after.redirectCount()) changes.push_back(ResultChange::Redirects);
  if (chainKindName(before) != chainKindName(after)) changes.push_back(ResultChange::Chain);
  if (verdicts && before.testPassed != after.testPassed) changes.push_back(ResultChange::Verdict);
  return changes;
}

}  // namespace

void diffResults(const ResultStore& before, bool beforeVerdicts, const ResultStore& after, bool afterVerdicts,
                 const std::function<void(const UrlDiff&)>& visit) {
  const RecordsByUrl afterByUrl = recordsByUrl(after);
  for (int64_t i = 0; i < before.count(); ++i) {
    const ResultRecord* record = before.recordAtIndex(i);
    const auto found = afterByUrl.find(textOf(record->first().url));
    if (found == afterByUrl.end()) {
      visit({record, nullptr, {}});
      continue;
    }
    UrlDiff diff{record, found->second, changesBetween(*record, *found->second, beforeVerdicts && afterVerdicts)};
    if (!diff.changes.empty()) visit(diff);
  }
  for (int64_t i = 0; i < after.count(); ++i) {
    const ResultRecord* record = after.recordAtIndex(i);
    if (!before.contains(textOf(record->first().url))) visit({nullptr, record, {}});
  }
}

}  // namespace tallyvane
