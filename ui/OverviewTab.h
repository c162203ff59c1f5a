#pragma once
// The "Overview" tab: the shape of the crawl at a glance, as bar charts of its URLs per status
// class, per kind of redirect chain and per response time. Redrawn with the list (at most four
// times a second), and only while the tab is shown. A click on a bar asks for the filter that
// lists its URLs. The charts follow the palette, light or dark.
//
// Main thread only.

#include <QWidget>

#include <array>
#include <vector>

#include "results/CrawlOverview.h"
#include "results/ResultStore.h"

class QAbstractBarSeries;
class QBarSet;
class QChartView;
class QValueAxis;

namespace tallyvane::ui {

inline constexpr const char* kOverviewTab = "Overview";

class OverviewTab : public QWidget {
  Q_OBJECT

 public:
  OverviewTab(const ResultStore& store, int64_t slowPageThresholdMs, QWidget* parent = nullptr);

  // Counts the records added since the last call and redraws what changed; nothing while hidden.
  void refresh();
  // Before the store is emptied.
  void clear();

  QChartView* chartView(OverviewChart chart) const { return charts_[static_cast<size_t>(chart)].view; }
  // "2xx: 12, 3xx: 3, ...": what a screen reader says of a chart.
  QString chartText(OverviewChart chart) const;
  // As a click on the chart's bar does.
  void clickBar(OverviewChart chart, int bar);

 signals:
  void filterChosen(tallyvane::Filter filter);

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct Chart {
    QChartView* view = nullptr;
    QAbstractBarSeries* series = nullptr;
    QBarSet* set = nullptr;
    QValueAxis* axis = nullptr;
    std::vector<OverviewBar> bars;
  };
  void redraw();
  void applyPalette();

  const ResultStore& store_;
  CrawlOverview overview_;
  std::array<Chart, kOverviewCharts.size()> charts_;
  int64_t drawnCount_ = -1;
};

}  // namespace tallyvane::ui
