#include "ui/OverviewTab.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QHBoxLayout>
#include <QValueAxis>

#include <algorithm>

#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

// The dark theme on a dark palette: the light one would put black labels on a dark window.
bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

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
    QStringList categories;
    for (const OverviewBar& bar : chart.bars) {
      *chart.set << 0;
      categories << qText(bar.label);
    }
    chart.series = new QBarSeries;
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
    qchart->addAxis(categoryAxis, Qt::AlignBottom);
    chart.series->attachAxis(categoryAxis);
    chart.axis = new QValueAxis;
    chart.axis->setLabelFormat("%d");
    chart.axis->setRange(0, 1);
    qchart->addAxis(chart.axis, Qt::AlignLeft);
    chart.series->attachAxis(chart.axis);
    chart.view = new QChartView(qchart, this);
    chart.view->setRenderHint(QPainter::Antialiasing);
    chart.view->setAccessibleName(qText(overviewTitle(kind)));
    chart.view->setMinimumSize(240, 180);
    layout->addWidget(chart.view);
    connect(chart.series, &QBarSeries::clicked, this, [this, kind](int index, QBarSet*) { clickBar(kind, index); });
  }
  applyPalette();
  redraw();
}

void OverviewTab::refresh() {
  if (!isVisible()) return;
  overview_.addNewRecords(store_);
  if (overview_.counted() != drawnCount_) redraw();
}

void OverviewTab::clear() {
  overview_.clear();
  redraw();
}

void OverviewTab::redraw() {
  drawnCount_ = overview_.counted();
  for (const OverviewChart kind : kOverviewCharts) {
    Chart& chart = charts_[static_cast<size_t>(kind)];
    chart.bars = overview_.bars(kind);
    int64_t largest = 0;
    for (size_t i = 0; i < chart.bars.size(); ++i) {
      chart.set->replace(static_cast<int>(i), static_cast<qreal>(chart.bars[i].count));
      largest = std::max(largest, chart.bars[i].count);
    }
    // Headroom for the numbers above the bars.
    chart.axis->setRange(0, static_cast<qreal>(std::max<int64_t>(largest + largest / 8, 1)));
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
  if (bar < 0 || bar >= static_cast<int>(bars.size()) || bars[static_cast<size_t>(bar)].filter < 0) return;
  emit filterChosen(bars[static_cast<size_t>(bar)].filter);
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
    if (chart.view->chart()->theme() == theme) continue;
    chart.view->chart()->setTheme(theme);
    chart.view->chart()->setAnimationOptions(QChart::NoAnimation);
  }
}

}  // namespace tallyvane::ui
