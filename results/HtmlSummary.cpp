#include "results/HtmlSummary.h"

#include <algorithm>
#include <map>
#include <vector>

#include "base/FileContents.h"
#include "results/CrawlOverview.h"
#include "results/Filters.h"
#include "results/MarkupText.h"
#include "results/ResultColumns.h"

namespace tallyvane {
namespace {

constexpr size_t kListedRecords = 25;        // longest chains, slowest URLs
constexpr size_t kUrlsPerFailureReason = 50;

// Colours that read on white paper and in a printout alike.
constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:2em;color:#1d1d1f;background:#fff}"
    "h1{font-size:1.6em}h2{font-size:1.2em;margin-top:2em}"
    "table{border-collapse:collapse;margin:.5em 0}td,th{border:1px solid #c8c8cc;padding:.25em .6em;text-align:left;"
    "vertical-align:top}td.n,th.n{text-align:right}th{background:#f0f0f3}"
    ".charts{display:flex;flex-wrap:wrap;gap:2em}figure{margin:0}figcaption{font-weight:bold;margin-bottom:.3em}"
    "code{word-break:break-all}";

// The n records that rank highest, best first; ties keep store order. A negative rank leaves a record out.
class TopRecords {
 public:
  using Rank = int64_t (*)(const ResultRecord&);
  explicit TopRecords(Rank rank) : rank_(rank) {}

  void offer(const ResultRecord& record) {
    const int64_t rank = rank_(record);
    if (rank < 0 || (records_.size() == kListedRecords && rank <= rank_(*records_.back()))) return;
    const auto at = std::upper_bound(records_.begin(), records_.end(), rank,
                                     [this](int64_t value, const ResultRecord* other) { return value > rank_(*other); });
    records_.insert(at, &record);
    if (records_.size() > kListedRecords) records_.pop_back();
  }
  const std::vector<const ResultRecord*>& records() const { return records_; }

 private:
  Rank rank_;
  std::vector<const ResultRecord*> records_;
};

int64_t redirectsRank(const ResultRecord& record) {
  const int64_t status = record.first().statusCode;
  return status >= 300 && status <= 399 && record.redirectCount() > 0 ? record.redirectCount() : -1;
}

// A fast loopback answer takes 0 ms and still belongs in the list.
int64_t slownessRank(const ResultRecord& record) { return record.first().statusCode == 0 ? -1 : chainResponseTime(record); }

class Page {
 public:
  void raw(std::string_view html) { out_ += html; }
  void escaped(std::string_view text) { out_ += escapeMarkup(text); }
  void number(int64_t value) { out_ += std::to_string(value); }
  void cell(std::string_view text, bool numeric = false) {
    raw(numeric ? "<td class=\"n\">" : "<td>");
    escaped(text);
    raw("</td>");
  }
  void urlCell(std::string_view url) {
    raw("<td><code>");
    escaped(url);
    raw("</code></td>");
  }
  void headerRow(std::initializer_list<std::string_view> titles) {
    raw("<tr>");
    for (std::string_view title : titles) {
      raw("<th>");
      escaped(title);
      raw("</th>");
    }
    raw("</tr>\n");
  }
  // A section: its heading, then its table's header row (the rows follow), or a line saying why
  // there are none.
  void startSection(std::string_view heading, std::initializer_list<std::string_view> titles, bool empty,
                    std::string_view whyEmpty = {}) {
    raw("<h2>");
    escaped(heading);
    raw("</h2>\n");
    if (empty) {
      raw("<p>");
      escaped(whyEmpty);
      raw("</p>\n");
      return;
    }
    raw("<table>\n");
    headerRow(titles);
  }
  std::string& bytes() { return out_; }

 private:
  std::string out_;
};

// A horizontal bar chart: readable without colour, its numbers written beside the bars.
void appendChart(Page& page, std::string_view title, const std::vector<OverviewBar>& bars) {
  constexpr int kLabelWidth = 150, kBarSpace = 260, kRowHeight = 26, kNumberWidth = 90;
  int64_t largest = 1;
  for (const OverviewBar& bar : bars) largest = std::max(largest, bar.count);
  const int height = static_cast<int>(bars.size()) * kRowHeight + 8;
  const int width = kLabelWidth + kBarSpace + kNumberWidth;
  page.raw("<figure><figcaption>");
  page.escaped(title);
  page.raw("</figcaption>\n<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" width=\"" + std::to_string(width) +
           "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " +
           std::to_string(height) + "\" font-family=\"sans-serif\" font-size=\"13\"><title>");
  page.escaped(title);
  page.raw("</title>\n");
  int y = 4;
  for (const OverviewBar& bar : bars) {
    const int length = static_cast<int>(bar.count * (kBarSpace - 10) / largest);
    page.raw("<text x=\"" + std::to_string(kLabelWidth - 8) + "\" y=\"" + std::to_string(y + 17) +
             "\" text-anchor=\"end\" fill=\"#1d1d1f\">");
    page.escaped(bar.label);
    page.raw("</text><rect x=\"" + std::to_string(kLabelWidth) + "\" y=\"" + std::to_string(y + 3) + "\" width=\"" +
             std::to_string(std::max(length, bar.count > 0 ? 2 : 0)) + "\" height=\"" + std::to_string(kRowHeight - 8) +
             "\" fill=\"#3a6ea5\"/><text x=\"" + std::to_string(kLabelWidth + length + 6) + "\" y=\"" +
             std::to_string(y + 17) + "\" fill=\"#1d1d1f\">" + std::to_string(bar.count) + "</text>\n");
    y += kRowHeight;
  }
  page.raw("</svg></figure>\n");
}

void appendFilterCounts(Page& page, const ResultStore& store, TestMode testMode) {
  page.startSection("URLs per filter", {"Filter", "URLs"}, false);
  for (const Filter filter : kFilters) {
    if (needsTestResults(filter) && testMode == TestMode::None) continue;
    page.raw("<tr>");
    page.cell(filterName(filter));
    page.cell(std::to_string(store.rowCount({false, filter})), true);
    page.raw("</tr>\n");
  }
  page.raw("</table>\n");
}

void appendLongestChains(Page& page, const std::vector<const ResultRecord*>& records) {
  page.startSection("Longest redirect chains", {"URL", "# Redirects", "Kind", "Chain"}, records.empty(),
                    "No URL redirects.");
  if (records.empty()) return;
  for (const ResultRecord* record : records) {
    page.raw("<tr>");
    page.urlCell(textOf(record->first().url));
    page.cell(std::to_string(record->redirectCount()), true);
    page.cell(redirectClassOf(*record));
    page.raw("<td>");
    for (int j = 0; j < record->responseCount; ++j) {
      const ResponseRecord& hop = record->responses[j];
      if (j > 0) page.raw("<br>");
      page.escaped(statusCodeText(hop).empty() ? std::string("-") : statusCodeText(hop));
      page.raw(" <code>");
      page.escaped(textOf(hop.url));
      page.raw("</code>");
    }
    page.raw("</td></tr>\n");
  }
  page.raw("</table>\n");
}

void appendSlowest(Page& page, const std::vector<const ResultRecord*>& records) {
  page.startSection("Slowest URLs", {"URL", "Status Code", "Status", "Response Time (s, whole chain)"}, records.empty(),
                    "No URL answered.");
  if (records.empty()) return;
  for (const ResultRecord* record : records) {
    page.raw("<tr>");
    page.urlCell(textOf(record->first().url));
    page.cell(statusCodeText(record->first()), true);
    page.cell(textOf(record->first().statusText));
    page.cell(secondsText(chainResponseTime(*record)), true);
    page.raw("</tr>\n");
  }
  page.raw("</table>\n");
}

struct FailureGroup {
  int64_t count = 0;
  std::vector<std::string_view> urls;
};

void appendFailures(Page& page, const std::map<std::string_view, FailureGroup>& failures, int64_t failed) {
  page.raw("<h2>Test failures by reason</h2>\n<p>");
  page.number(failed);
  page.raw(" URLs failed.</p>\n");
  if (failures.empty()) return;
  page.raw("<table>\n");
  page.headerRow({"Reason", "URLs", "Examples"});
  for (const auto& [reason, group] : failures) {
    page.raw("<tr>");
    page.cell(reason);
    page.cell(std::to_string(group.count), true);
    page.raw("<td>");
    for (size_t i = 0; i < group.urls.size(); ++i) {
      if (i > 0) page.raw("<br>");
      page.raw("<code>");
      page.escaped(group.urls[i]);
      page.raw("</code>");
    }
    if (group.count > static_cast<int64_t>(group.urls.size())) page.raw("<br>&hellip;");
    page.raw("</td></tr>\n");
  }
  page.raw("</table>\n");
}

}  // namespace

std::vector<std::string_view> testReasonsOf(std::string_view note) {
  std::vector<std::string_view> reasons;
  while (!note.empty()) {
    // Reasons are bracketed and joined by ","; a comma inside brackets belongs to the reason.
    size_t end = note.find("],[");
    end = end == std::string_view::npos ? note.size() : end + 1;
    reasons.push_back(note.substr(0, end));
    note.remove_prefix(std::min(note.size(), end + 1));
  }
  return reasons;
}

std::optional<Message> writeHtmlSummary(const ResultStore& store, TestMode testMode, int64_t slowPageThresholdMs,
                                        const std::filesystem::path& path, const TaskProgress& progress,
                                        const std::atomic<bool>* quitting) {
  FileReplacement file;
  if (!file.open(path)) return errorMessage(std::string(kCannotCreateReportMessage) + path.string());

  CrawlOverview overview(slowPageThresholdMs);
  TopRecords longest(redirectsRank), slowest(slownessRank);
  std::map<std::string_view, FailureGroup> failures;
  int64_t failed = 0;
  const int64_t count = store.count();
  const int64_t step = count / 100 + 1;
  for (int64_t index = 0; index < count; ++index) {
    if (quitting && quitting->load()) return errorMessage(kStoppedBeforeCompleteMessage);
    if (progress && index % step == 0) progress(index, count, progressText("Saving", index + 1, count));
    const ResultRecord* record = store.recordAtIndex(index);
    if (record == nullptr) break;
    overview.add(*record);
    longest.offer(*record);
    slowest.offer(*record);
    if (testMode == TestMode::None || record->testPassed) continue;
    ++failed;
    const std::vector<std::string_view> reasons = testReasonsOf(textOf(record->testReason));
    for (std::string_view reason : reasons.empty() ? std::vector<std::string_view>{"(no reason given)"} : reasons) {
      FailureGroup& group = failures[reason];
      ++group.count;
      if (group.urls.size() < kUrlsPerFailureReason) group.urls.push_back(textOf(record->first().url));
    }
  }

  Page page;
  page.raw("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>");
  page.escaped(kHtmlSummaryTitle);
  page.raw("</title>\n<style>");
  page.raw(kStyle);
  page.raw("</style></head>\n<body>\n<h1>");
  page.escaped(kHtmlSummaryTitle);
  page.raw("</h1>\n<p>");
  page.number(count);
  page.raw(" URLs checked.</p>\n");
  appendFilterCounts(page, store, testMode);
  page.raw("<h2>Overview</h2>\n<div class=\"charts\">\n");
  for (OverviewChart chart : kOverviewCharts) appendChart(page, overviewTitle(chart), overview.bars(chart));
  page.raw("</div>\n");
  appendLongestChains(page, longest.records());
  appendSlowest(page, slowest.records());
  if (testMode != TestMode::None) appendFailures(page, failures, failed);
  page.raw("</body></html>\n");

  if (!file.write(page.bytes()) || !file.commit()) return errorMessage(kReportWriteErrorMessage);
  if (progress) progress(count, count, progressText("Saving", count, count));
  return std::nullopt;
}

}  // namespace tallyvane
