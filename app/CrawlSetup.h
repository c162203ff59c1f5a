#pragma once
// What a crawl does besides checking: the rewrite rules, a redirect test or the low-memory
// report, and the checks and messages of the dialogs that start each kind of crawl. The desktop
// dialogs and the CLI both go through here: check*() returns the first message to show (or the
// ready setup), which the session then starts.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/Crawl.h"
#include "app/LowMemoryReport.h"
#include "app/Shard.h"
#include "base/Message.h"
#include "input/CanonicalTest.h"
#include "input/MappingRules.h"

namespace tallyvane {

inline constexpr std::string_view kEnterInputFileMessage = "Please, enter an input file";
inline constexpr std::string_view kEnterRulesFileMessage = "Please, enter a mapping rules file";
inline constexpr std::string_view kRulesFileMissingMessage = "Cannot find mapping rules file!";
inline constexpr std::string_view kSelectCanonicalFormMessage = "Please, select a canonical URL form to test for";
inline constexpr std::string_view kEnterOutputFileMessage = "Please, enter on output file";
inline constexpr std::string_view kHtmlSummaryNeedsResultsMessage =
    "The HTML summary needs the results of the whole crawl: it cannot be written in low-memory mode";

struct CrawlSetup {
  std::string inputFile;
  TestMode testMode = TestMode::None;
  std::shared_ptr<const MappingTable> mapping;  // mapping test
  CanonicalOptions canonical;                   // canonical test
  std::shared_ptr<LowMemoryReport> lowMemoryReport;
  std::optional<Shard> shard;  // only the list's URLs of this shard
  // A resumed run: the store holds a loaded results file, whose URLs are not checked again.
  bool keepStoredResults = false;
};

struct SetupCheck {
  std::optional<Message> message;  // the first check that failed
  bool dialogCloses = false;       // the failure closes the dialog (a bad rules file)
  CrawlSetup setup;                // ready when there is no message
};

// "Start Test" of the mapping dialog: the rules are loaded before the input file is looked for.
SetupCheck checkMappingTest(std::string_view inputField, std::string_view rulesField);

// "Start Test" of the canonical dialog; form is nothing while no form button is selected.
SetupCheck checkCanonicalTest(std::optional<CanonicalForm> form, std::string_view inputField, bool onlyInputUrls,
                              bool cookies, bool hsts);

// "Start" of the low-memory dialog: creates the report file with its heading line.
SetupCheck checkLowMemoryCheck(std::string_view inputField, std::string_view outputField, ReportKind kind, Filter filter,
                               int64_t slowPageThresholdMs);

// The rewrite rules of the settings and the shard; for a test, the evaluation of each chain and,
// in a canonical test of every form, the other forms of each URL of the list.
CrawlStages crawlStagesFor(const Settings& settings, const CrawlSetup& setup);

}  // namespace tallyvane
