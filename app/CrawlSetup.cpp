#include "app/CrawlSetup.h"

#include <array>
#include <filesystem>

#include "base/Text.h"
#include "input/MappingTest.h"
#include "input/RewriteRules.h"
#include "input/UrlInput.h"

namespace tallyvane {
namespace {

bool fileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

SetupCheck failed(std::string_view message, bool dialogCloses = false) {
  return {errorMessage(message), dialogCloses, {}};
}

ChainEnd chainEndOf(int64_t kind) {
  switch (kind) {
    case kChainLoop: return ChainEnd::Loop;
    case kChainMaxRedirects: return ChainEnd::MaxRedirects;
    case kChainFailed: return ChainEnd::Failed;
    default: return ChainEnd::Answered;
  }
}

// Fills the test fields of hop 0 with the verdict of the setup's test.
void judgeChain(const CrawlSetup& setup, HopRow hops, int redirectCount) {
  std::array<OutlineHop, kHopsPerChain> outline;
  for (int j = 0; j <= redirectCount; ++j) outline[j] = {hops[j].url, hops[j].statusCode, hops[j].rawHeaders};
  const ChainOutline chain{chainEndOf(hops[0].kind), std::span(outline.data(), static_cast<size_t>(redirectCount) + 1)};
  static const MappingTable noRules;
  TestVerdict verdict = setup.testMode == TestMode::Mapping
                            ? evaluateMapping(chain, setup.mapping ? *setup.mapping : noRules)
                            : evaluateCanonical(chain, setup.canonical);
  hops[0].testPassed = verdict.passed ? 1 : 0;
  hops[0].testNote = std::move(verdict.note);
}

}  // namespace

SetupCheck checkMappingTest(std::string_view inputField, std::string_view rulesField) {
  const std::string input(trimBlanks(inputField));
  const std::string rules(trimBlanks(rulesField));
  if (input.empty()) return failed(kEnterInputFileMessage);
  if (rules.empty()) return failed(kEnterRulesFileMessage);
  if (!fileExists(rules)) return failed(kRulesFileMissingMessage);
  auto loaded = MappingTable::load(rules);
  if (auto* message = std::get_if<Message>(&loaded)) return {std::move(*message), true, {}};
  if (!inputExists(input)) return failed(kInputFileMissingMessage, true);
  SetupCheck check;
  check.setup.inputFile = input;
  check.setup.testMode = TestMode::Mapping;
  check.setup.mapping = std::make_shared<const MappingTable>(std::move(std::get<MappingTable>(loaded)));
  return check;
}

SetupCheck checkCanonicalTest(std::optional<CanonicalForm> form, std::string_view inputField, bool onlyInputUrls,
                              bool cookies, bool hsts) {
  if (!form) return failed(kSelectCanonicalFormMessage);
  const std::string input(trimBlanks(inputField));
  if (input.empty()) return failed(kEnterInputFileMessage);
  if (!inputExists(input)) return failed(kInputFileMissingMessage);
  SetupCheck check;
  check.setup.inputFile = input;
  check.setup.testMode = TestMode::Canonical;
  check.setup.canonical = {*form, onlyInputUrls, cookies, hsts};
  return check;
}

SetupCheck checkLowMemoryCheck(std::string_view inputField, std::string_view outputField, ReportKind kind, Filter filter,
                               int64_t slowPageThresholdMs) {
  const std::string input(trimBlanks(inputField));
  const std::string output(trimBlanks(outputField));
  if (input.empty()) return failed(kEnterInputFileMessage);
  if (output.empty()) return failed(kEnterOutputFileMessage);
  if (!inputExists(input)) return failed(kInputFileMissingMessage);
  if (kind == ReportKind::HtmlSummary) return failed(kHtmlSummaryNeedsResultsMessage);
  // Creating the report empties the file: never the list it is about to read.
  std::error_code ignored;
  if (std::filesystem::equivalent(input, output, ignored)) {
    return failed(std::string(kCannotCreateReportMessage) + output);
  }
  auto created = LowMemoryReport::create({output, kind, filter, slowPageThresholdMs});
  if (auto* message = std::get_if<Message>(&created)) return {std::move(*message), false, {}};
  SetupCheck check;
  check.setup.inputFile = input;
  check.setup.lowMemoryReport = std::move(std::get<std::unique_ptr<LowMemoryReport>>(created));
  return check;
}

CrawlStages crawlStagesFor(const Settings& settings, const CrawlSetup& setup) {
  CrawlStages stages;
  if (settings.RewriteURLs == 1) {
    auto rules = std::make_shared<const RewriteRules>(RewriteRules::parse(settings.Rules));
    if (!rules->empty()) stages.rewrite = [rules](std::string url) { return rules->apply(std::move(url)); };
  }
  if (setup.shard) stages.admit = [shard = *setup.shard](std::string_view url) { return inShard(url, shard); };
  if (setup.testMode == TestMode::None) return stages;
  stages.evaluate = [setup](HopRow hops, int redirectCount) { judgeChain(setup, hops, redirectCount); };
  if (setup.testMode == TestMode::Canonical && !setup.canonical.onlyInputUrls) stages.expand = canonicalVariants;
  return stages;
}

}  // namespace tallyvane
