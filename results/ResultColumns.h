#pragma once
// The columns of the result list and the text of each cell, shared by every front end.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "results/HopRecord.h"
#include "results/ResultRecord.h"

namespace tallyvane {

enum ResultColumn : int {
  kTestResultColumn = -1,  // only in the test-results view
  kUrlColumn = 0,
  kTypeColumn,
  kStatusCodeColumn,
  kStatusColumn,
  kSizeColumn,
  kResponseTimeColumn,
  kXRobotsTagColumn,
  kVaryColumn,
  kFinalUrlColumn,
  kRedirectsColumn,
  kLinkHeadersColumn,
};
inline constexpr int kResultColumnCount = 11;

inline constexpr std::array<std::string_view, kResultColumnCount> kResultColumnTitles = {
    "URL",          "Type", "Status Code",           "Status",      "Size",           "Response Time",
    "X-Robots-Tag", "Vary", "Redirect To Final URL", "# Redirects", "# Link Headers",
};
// The standard report's heading names the same columns, two of them in its own words.
inline constexpr std::array<std::string_view, kResultColumnCount> kStandardReportTitles = {
    "URL",          "Type",           "Code",
    "Status",       "Size",           "Response Time",
    "X-Robots-Tag", "Vary",           "Redirect to Final URL",
    "# Redirects",  "# Link Headers",
};
inline constexpr std::string_view kTestResultTitle = "Test Result";

// A number's text formed in place: reports format millions of them and must not allocate.
class NumberText {
 public:
  static NumberText decimal(int64_t value);
  // Milliseconds as seconds with two decimals ("0.25").
  static NumberText seconds(int64_t milliseconds);
  static NumberText none() { return {}; }

  std::string_view view() const { return {chars_.data(), size_}; }
  std::string string() const { return std::string(view()); }

 private:
  std::array<char, 32> chars_;  // left unset: only the first size_ are read
  size_t size_ = 0;
};

// The numbers of one response as the list and the reports show them: no code for no answer, no
// size when it is unknown, no time without an answer.
NumberText statusCodeField(const ResponseRecord& response);
NumberText sizeField(const ResponseRecord& response);
NumberText responseTimeField(const ResponseRecord& response);

// The same as strings, for display.
std::string secondsText(int64_t milliseconds);
std::string statusCodeText(const ResponseRecord& response);
std::string sizeText(const ResponseRecord& response);
std::string responseTimeText(const ResponseRecord& response);

std::string cellText(const ResultRecord& record, int column);

// The chain's kind as pipelines name it: "redirect", "loop", "chain", "max-redirects", "failed",
// or nothing for a URL that answered without a redirect.
std::optional<std::string_view> chainKindName(const ResultRecord& record);

// The responses a report or a line shows: a loop's last one repeats an earlier URL and is left out.
int shownResponseCount(const ResultRecord& record);

}  // namespace tallyvane
