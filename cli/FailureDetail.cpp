#include "cli/FailureDetail.h"

#include <memory>

#include "input/CanonicalTest.h"
#include "results/ResultColumns.h"

namespace tallyvane::cli {

ExpectedTarget expectedTargetOf(const CrawlSetup& setup) {
  switch (setup.testMode) {
    case TestMode::Mapping:
      if (!setup.mapping) return {};
      return [table = setup.mapping](std::string_view url) { return table->expectedTarget(url); };
    case TestMode::Canonical:
      return [form = setup.canonical.form](std::string_view url) {
        return std::optional<std::string>(expectedCanonicalUrl(url, form));
      };
    case TestMode::None: break;
  }
  return {};
}

std::optional<std::string_view> hopError(const ResultRecord& record) {
  constexpr std::string_view kLibraryPrefix = "LibCurl:";
  for (int i = 0; i < record.responseCount; ++i) {
    const ResponseRecord& hop = record.responses[i];
    const std::string_view text = textOf(hop.statusText);
    if (hop.statusCode == 0 && text.starts_with(kLibraryPrefix)) return text;
  }
  return std::nullopt;
}

std::string failureDetail(const ResultRecord& record, const ExpectedTarget& expected) {
  if (record.testPassed == 1) return {};
  const ResponseRecord& last = record.last();
  std::string detail;
  if (expected) {
    const auto target = expected(textOf(record.first().url));
    detail = "expected " + (target ? *target : std::string("no rule")) + ", ";
  }
  const std::string status = statusCodeText(last);
  detail += "met " + std::string(textOf(last.url)) + " " + (status.empty() ? std::string("(no answer)") : status);
  if (const auto error = hopError(record)) detail += ", " + std::string(*error);
  return detail;
}

}  // namespace tallyvane::cli
