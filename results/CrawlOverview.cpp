#include "results/CrawlOverview.h"

#include <algorithm>

#include "results/HopRecord.h"

namespace tallyvane {
namespace {

constexpr std::array<std::string_view, 5> kStatusClassLabels = {"2xx", "3xx", "4xx", "5xx", "no response"};
constexpr std::array<Filter, 5> kStatusClassFilters = {Filter::Success2xx, Filter::Redirects3xx,
                                                       Filter::ClientErrors4xx, Filter::ServerErrors5xx,
                                                       Filter::NoResponseTimeout};

constexpr std::array<std::string_view, 5> kChainKindLabels = {"No Redirect", "Single Redirect", "Redirect Chain",
                                                              "Redirect Loop", "Too Many Redirects"};
constexpr std::array<std::optional<Filter>, 5> kChainKindFilters = {std::nullopt, std::nullopt, Filter::RedirectChains,
                                                                    Filter::RedirectLoops, std::nullopt};

// Upper bounds in milliseconds; the last bucket is open.
constexpr std::array<int64_t, 7> kTimeBounds = {100, 300, 500, 1000, 2000, 5000, 10000};
// Each bucket by its upper bound. No "<" or ">": chart labels are read as rich text.
constexpr std::array<std::string_view, 8> kTimeLabels = {"0.1", "0.3", "0.5", "1", "2", "5", "10", "10+"};

// A status outside 2xx..5xx (1xx, or beyond 599) is in no class.
int statusClassOf(int64_t status) {
  if (status == 0) return 4;
  if (status >= 200 && status <= 599) return static_cast<int>(status / 100) - 2;
  return -1;
}

int chainKindOf(const ResultRecord& record) {
  if (record.chainKind == kChainMaxRedirects) return 4;
  if (record.responseCount == 1) return 0;
  if (record.chainKind == kChainLoop) return 3;
  return record.responseCount > 2 ? 2 : 1;
}

}  // namespace

int64_t chainResponseTime(const ResultRecord& record) {
  int64_t total = 0;
  for (int j = 0; j < record.responseCount; ++j) total += std::max<int64_t>(record.responses[j].responseTime, 0);
  return total;
}

std::string_view overviewTitle(OverviewChart chart) {
  switch (chart) {
    case OverviewChart::StatusClasses: return "URLs per status class";
    case OverviewChart::ChainKinds: return "Redirect chain kinds";
    case OverviewChart::ResponseTimes: return "Seconds per URL, up to (whole chain)";
  }
  return {};
}

void CrawlOverview::add(const ResultRecord& record) {
  ++counted_;
  const int64_t status = record.first().statusCode;
  if (const int statusClass = statusClassOf(status); statusClass >= 0) ++statusClasses_[static_cast<size_t>(statusClass)];
  ++chainKinds_[static_cast<size_t>(chainKindOf(record))];
  if (status == 0) return;  // no answer, no time
  const int64_t time = chainResponseTime(record);
  size_t bucket = 0;
  while (bucket < kTimeBounds.size() && time >= kTimeBounds[bucket]) ++bucket;
  ++responseTimes_[bucket];
}

bool CrawlOverview::addNewRecords(const ResultStore& store) {
  const int64_t count = store.count();
  const bool continued = count >= counted_;
  if (!continued) clear();
  for (int64_t index = counted_; index < count; ++index) {
    const ResultRecord* record = store.recordAtIndex(index);
    if (record == nullptr) break;
    add(*record);
  }
  return continued;
}

void CrawlOverview::clear() { *this = CrawlOverview(slowPageThresholdMs_); }

std::vector<OverviewBar> CrawlOverview::bars(OverviewChart chart) const {
  std::vector<OverviewBar> bars;
  switch (chart) {
    case OverviewChart::StatusClasses:
      for (size_t i = 0; i < statusClasses_.size(); ++i) {
        bars.push_back({kStatusClassLabels[i], statusClasses_[i], kStatusClassFilters[i]});
      }
      break;
    case OverviewChart::ChainKinds:
      for (size_t i = 0; i < chainKinds_.size(); ++i) bars.push_back({kChainKindLabels[i], chainKinds_[i], kChainKindFilters[i]});
      break;
    case OverviewChart::ResponseTimes:
      for (size_t i = 0; i < responseTimes_.size(); ++i) {
        // The buckets wholly above the slow-page threshold are what "Slow Pages" lists (with the
        // URLs that got no answer).
        const int64_t lowerBound = i == 0 ? 0 : kTimeBounds[i - 1];
        const auto filter = lowerBound >= slowPageThresholdMs_ ? std::optional(Filter::SlowPages) : std::nullopt;
        bars.push_back({kTimeLabels[i], responseTimes_[i], filter});
      }
      break;
  }
  return bars;
}

}  // namespace tallyvane
