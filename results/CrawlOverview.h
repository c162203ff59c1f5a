#pragma once
// The shape of a crawl at a glance: its URLs per status class, per kind of redirect chain and per
// response time. The desktop's overview charts and the HTML summary show these counts.
//
// Not thread-safe: one owner counts and reads.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "results/ResultStore.h"

namespace tallyvane {

enum class OverviewChart { StatusClasses, ChainKinds, ResponseTimes };
inline constexpr std::array<OverviewChart, 3> kOverviewCharts = {OverviewChart::StatusClasses, OverviewChart::ChainKinds,
                                                                 OverviewChart::ResponseTimes};

struct OverviewBar {
  std::string_view label;
  int64_t count = 0;
  std::optional<Filter> filter;  // the filter that lists these URLs, when one does
};

std::string_view overviewTitle(OverviewChart chart);

// The time of the whole chain, as "Slow Pages" counts it.
int64_t chainResponseTime(const ResultRecord& record);

class CrawlOverview {
 public:
  explicit CrawlOverview(int64_t slowPageThresholdMs = 2000) : slowPageThresholdMs_(slowPageThresholdMs) {}

  void add(const ResultRecord& record);
  // Adds the records of the store not counted yet. Records never change once stored and arrive
  // in store order, so during a crawl only the new ones cost anything. False when the store was
  // emptied meanwhile: the counts then start again.
  bool addNewRecords(const ResultStore& store);
  void clear();
  int64_t counted() const { return counted_; }

  std::vector<OverviewBar> bars(OverviewChart chart) const;

 private:
  int64_t slowPageThresholdMs_;
  int64_t counted_ = 0;
  std::array<int64_t, 5> statusClasses_{};
  std::array<int64_t, 5> chainKinds_{};
  std::array<int64_t, 8> responseTimes_{};
};

}  // namespace tallyvane
