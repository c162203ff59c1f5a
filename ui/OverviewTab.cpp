#include "ui/OverviewTab.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QThread>
#include <QValueAxis>

#include <algorithm>
#include <cassert>
#include <cmath>

#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

// The dark theme on a dark palette: the light one would put black labels on a dark window.
bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

// Classes read best as horizontal bars, labelled on the left; a histogram's many buckets stand
// upright, as a histogram does, where their short labels fit below.
bool isHorizontal(OverviewChart chart) { return chart != OverviewChart::ResponseTimes; }

// Horizontal bars list their categories from the bottom up: there bar i is drawn at place
// count - 1 - i, so the first reads at the top.
int drawnPlace(OverviewChart chart, int bar, int count) { return isHorizontal(chart) ? count - 1 - bar : bar; }

// Whole-number ticks, about five of them.
qreal tickStep(int64_t largest) {
  const double rough = std::max<double>(1.0, static_cast<double>(largest) / 5.0);
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double step : {1.0, 2.0, 5.0, 10.0}) {
    if (rough <= step * magnitude) return step * magnitude;
  }
  return 10.0 * magnitude;
}

}  // namespace

OverviewTab::OverviewTab(const ResultStore& store, int64_t slowPageThresholdMs, QWidget* parent)
    : QWidget(parent), store_(store), overview_(slowPageThresholdMs) {
  setAccessibleName(kOverviewTab);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  for (const OverviewChart kind : kOverviewCharts) {
    Chart& chart = charts_[static_cast<size_t>(kind)];
    chart.bars = overview_.bars(kind);
    chart.set = new QBarSet(qText(overviewTitle(kind)));
    const int count = static_cast<int>(chart.bars.size());
    QStringList categories;
    for (int place = 0; place < count; ++place) {
      *chart.set << 0;
      categories << qText(chart.bars[static_cast<size_t>(drawnPlace(kind, place, count))].label);
    }
    if (isHorizontal(kind)) {
      chart.series = new QHorizontalBarSeries;
    } else {
      chart.series = new QBarSeries;
    }
    chart.series->append(chart.set);
    chart.series->setLabelsVisible(true);
    chart.series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    auto* qchart = new QChart;
    qchart->addSeries(chart.series);
    qchart->setTitle(qText(overviewTitle(kind)));
    qchart->legend()->hide();
    qchart->setAnimationOptions(QChart::NoAnimation);  // redrawn four times a second during a crawl
    auto* categoryAxis = new QBarCategoryAxis;
    categoryAxis->append(categories);
    // The histogram's eight buckets share its width: cut, "10+" would read as "1...".
    if (!isHorizontal(kind)) categoryAxis->setTruncateLabels(false);
    qchart->addAxis(categoryAxis, isHorizontal(kind) ? Qt::AlignLeft : Qt::AlignBottom);
    chart.series->attachAxis(categoryAxis);
    chart.axis = new QValueAxis;
    chart.axis->setLabelFormat("%d");
    chart.axis->setTickType(QValueAxis::TicksDynamic);
    chart.axis->setTickAnchor(0);
    chart.axis->setRange(0, 1);
    qchart->addAxis(chart.axis, isHorizontal(kind) ? Qt::AlignBottom : Qt::AlignLeft);
    chart.series->attachAxis(chart.axis);
    chart.view = new QChartView(qchart, this);
    chart.view->setRenderHint(QPainter::Antialiasing);
    chart.view->setAccessibleName(qText(overviewTitle(kind)));
    chart.view->setMinimumSize(240, 180);
    // Room for the longest labels: the chain kinds' names and the histogram's eight buckets.
    layout->addWidget(chart.view, kind == OverviewChart::StatusClasses ? 3 : 4);
    connect(chart.series, &QAbstractBarSeries::clicked, this,
            [this, kind, count](int place, QBarSet*) { clickBar(kind, drawnPlace(kind, place, count)); });
  }
  applyPalette();
  redraw();
}

void OverviewTab::refresh() {
  assert(QThread::currentThread() == thread());
  if (!isVisible()) return;
  overview_.addNewRecords(store_);
  if (overview_.counted() != drawnCount_) redraw();
}

void OverviewTab::clear() {
  assert(QThread::currentThread() == thread());
  overview_.clear();
  redraw();
}

void OverviewTab::redraw() {
  drawnCount_ = overview_.counted();
  for (const OverviewChart kind : kOverviewCharts) {
    Chart& chart = charts_[static_cast<size_t>(kind)];
    chart.bars = overview_.bars(kind);
    const int count = static_cast<int>(chart.bars.size());
    int64_t largest = 0;
    for (int i = 0; i < count; ++i) {
      chart.set->replace(drawnPlace(kind, i, count), static_cast<qreal>(chart.bars[static_cast<size_t>(i)].count));
      largest = std::max(largest, chart.bars[static_cast<size_t>(i)].count);
    }
    // Room for the numbers beside the bars, and ticks on whole numbers.
    const qreal step = tickStep(largest);
    chart.axis->setTickInterval(step);
    chart.axis->setRange(0, std::ceil((static_cast<qreal>(largest) * 1.2 + 1) / step) * step);
    chart.view->setAccessibleDescription(chartText(kind));
  }
}

QString OverviewTab::chartText(OverviewChart chart) const {
  QStringList parts;
  for (const OverviewBar& bar : charts_[static_cast<size_t>(chart)].bars) {
    parts << qText(bar.label) + QStringLiteral(": ") + QString::number(bar.count);
  }
  return parts.join(QStringLiteral(", "));
}

void OverviewTab::clickBar(OverviewChart chart, int bar) {
  const std::vector<OverviewBar>& bars = charts_[static_cast<size_t>(chart)].bars;
  if (bar < 0 || bar >= static_cast<int>(bars.size()) || !bars[static_cast<size_t>(bar)].filter) return;
  emit filterChosen(*bars[static_cast<size_t>(bar)].filter);
}

void OverviewTab::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
}

void OverviewTab::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) applyPalette();
}

void OverviewTab::applyPalette() {
  const QChart::ChartTheme theme = isDark(palette()) ? QChart::ChartThemeDark : QChart::ChartThemeLight;
  for (Chart& chart : charts_) {
    if (chart.view->chart()->theme() != theme) {
      chart.view->chart()->setTheme(theme);
      chart.view->chart()->setAnimationOptions(QChart::NoAnimation);
    }
    // The numbers stand beside the bars, on the chart's background: in its text colour.
    chart.set->setLabelColor(theme == QChart::ChartThemeDark ? Qt::white : Qt::black);
  }
}

}  // namespace tallyvane::ui
