// The desktop list with a million rows: the real main window, model and view, offscreen, with the
// overview tab shown. Prints the time of the list timer's reload while records arrive at 30,000 a
// second (unsorted, sorted, and sorted with a search), of scrolling one page at the top, middle
// and end, of a filter change, of a column click (the click itself on the main thread, and until
// the sorted order shows) and of a changed search text (the keystroke on the main thread, and
// until its rows show), at the records given unsorted and, after more have arrived, sorted.
//   ui_bench [RECORDS]   (default 1,000,000)

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"
#include "bench/SyntheticResults.h"
#include "results/ResultColumns.h"
#include "results/UrlSearch.h"
#include "ui/DetailPanel.h"
#include "ui/MainWindow.h"
#include "ui/OverviewTab.h"
#include "ui/ResultTableModel.h"

using namespace tallyvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kAddsPerSecond = 30000;
constexpr auto kArrivalPhase = std::chrono::seconds(5);

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Waits in the event loop until done, looking again after each event, so a result counts from the
// moment it is posted. (QTest::qWaitFor sleeps 10 ms between looks, which the figures would hold.)
bool waitUntil(const std::function<bool()>& done) {
  constexpr std::chrono::seconds kLimit(60);
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.start(kLimit);  // wakes the wait below at the latest then
  const auto end = Clock::now() + kLimit;
  while (!done()) {
    if (Clock::now() >= end) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// CPU time of the calling thread: unlike wall time, not inflated by other processes on the machine.
double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// CPU time of every thread of the process: with the main thread's, tells what a background thread
// spent, whatever else the machine runs.
double processCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Stopwatch {
  Clock::time_point wall = Clock::now();
  double cpu = threadCpuMs();
};

struct Figures {
  std::vector<double> wall, cpu;
  void add(const Stopwatch& started) {
    wall.push_back(msSince(started.wall));
    cpu.push_back(threadCpuMs() - started.cpu);
  }
  void print(const char* what) {
    if (wall.empty()) return;
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-42s wall median %7.2f max %7.2f ms | main-thread CPU median %6.2f max %6.2f ms (%zu runs)\n", what,
                wall[wall.size() / 2], wall.back(), cpu[cpu.size() / 2], cpu.back(), wall.size());
  }
};

void addRecords(ResultStore& store, size_t from, size_t to) {
  std::vector<HopRecord> hops(kHopsPerChain);
  FatalErrorSlot fatal;
  for (size_t i = from; i < to; ++i) {
    bench::syntheticChain(hops, i, 5);
    if (!store.add(hops, TestMode::None, fatal)) {
      std::fprintf(stderr, "add failed: %s\n", fatal.get().message.c_str());
      std::exit(1);
    }
  }
}

// Records arrive at 30,000 a second on another thread while the list reloads every 250 ms.
size_t arrivalPhase(ui::MainWindow& window, size_t next, const char* what) {
  ResultStore& store = window.session().store();
  std::atomic<bool> stop{false};
  std::atomic<size_t> added{0};
  std::thread producer([&] {
    const auto start = Clock::now();
    while (!stop) {
      const auto due = static_cast<size_t>(std::chrono::duration<double>(Clock::now() - start).count() * kAddsPerSecond);
      if (added < due) {
        const size_t batch = std::min<size_t>(due - added, 300);
        addRecords(store, next + added, next + added + batch);
        added += batch;
        window.resultsAdded();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  });
  Figures reloads;
  const auto start = Clock::now();
  while (Clock::now() - start < kArrivalPhase) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ui::kListTimerMs));
    const Stopwatch tick;
    window.refreshList();
    window.resultList()->viewport()->repaint();
    reloads.add(tick);
  }
  stop = true;
  producer.join();
  reloads.print(what);
  std::printf("%-42s %.0f records a second\n", "  records added meanwhile",
              static_cast<double>(added) / std::chrono::duration<double>(kArrivalPhase).count());
  return next + added;
}

// Rows of the whole store whose URL holds text, as the search must find them.
int64_t expectedMatches(const ResultStore& store, const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  int64_t matches = 0;
  for (int64_t i = 0; i < store.count(); ++i) matches += containsIgnoringCase(textOf(store.recordAtIndex(i)->first().url), lower);
  return matches;
}

// A text typed into the search field: the keystroke's cost on the main thread, and the time until
// the list shows the rows found (computed on the search thread meanwhile).
void searchTexts(ui::MainWindow& window, const char* view) {
  std::printf("search in the %s view of %d rows\n", view, window.resultModel()->rowCount());
  const std::vector<std::string> texts = {"PRODUCT-00001", "product-0005", "nothing-here", "Shop.com/category"};
  std::vector<int64_t> expected;
  for (const std::string& text : texts) expected.push_back(expectedMatches(window.session().store(), text));
  Figures keystrokes;
  std::vector<Figures> shown(texts.size());
  std::vector<std::vector<double>> processCpu(texts.size());
  for (int round = 0; round < 3; ++round) {
    for (size_t i = 0; i < texts.size(); ++i) {
      const double processStart = processCpuMs();
      const Stopwatch typed;
      window.searchField()->setText(QString::fromStdString(texts[i]));
      keystrokes.add(typed);
      const QString count = "Filtered URLs: " + QString::number(expected[i]);
      if (!waitUntil([&] { return window.statusField(kFilteredUrlsField)->text() == count; })) {
        std::printf("search for %s did not show\n", texts[i].c_str());
      }
      window.resultList()->viewport()->repaint();
      shown[i].add(typed);
      processCpu[i].push_back(processCpuMs() - processStart);
    }
  }
  keystrokes.print("search text typed (main thread)");
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string what = "search until shown: " + texts[i] + " (" + std::to_string(expected[i]) + ")";
    shown[i].print(what.c_str());
    std::sort(processCpu[i].begin(), processCpu[i].end());
    std::printf("%-42s all threads' CPU median %6.2f max %6.2f ms\n", "", processCpu[i][processCpu[i].size() / 2],
                processCpu[i].back());
  }
}

void scrollPages(QTableView* list, const char* where, int firstValue) {
  QScrollBar* bar = list->verticalScrollBar();
  bar->setValue(firstValue);
  list->viewport()->repaint();
  Figures pages;
  for (int page = 0; page < 10; ++page) {
    const Stopwatch start;
    bar->setValue(std::min(bar->maximum(), bar->value() + bar->pageStep()));
    list->viewport()->repaint();
    pages.add(start);
    if (bar->value() == bar->maximum()) bar->setValue(firstValue);
  }
  pages.print(where);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const size_t records = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  QApplication application(argc, argv);
  auto library = HttpLibrary::bind(executableDirectory());
  if (!library) {
    std::fprintf(stderr, "%s\n", std::string(kCannotLoadCurlMessage).c_str());
    return 1;
  }
  QTemporaryDir scratch;
  Settings settings = defaultSettings(1920);
  ui::MainWindow window(*library, settings, settingsLocationOf(scratch.filePath("settings.prefs").toStdString()));
  window.resize(1600, 1000);
  window.show();
  // The overview is counted and redrawn with the list only while it is shown.
  window.detailPanel()->setCurrentWidget(window.overview());
  QTest::qWait(100);

  auto start = Clock::now();
  addRecords(window.session().store(), 0, records);
  std::printf("%-42s %.2f s\n", "store filled with records", msSince(start) / 1000);
  start = Clock::now();
  window.resultsAdded();
  window.refreshList();
  window.resultList()->viewport()->repaint();
  std::printf("%-42s %.2f ms (%d rows)\n", "first reload of the whole store", msSince(start),
              window.resultModel()->rowCount());

  searchTexts(window, "unsorted");
  window.searchField()->clear();
  size_t next = arrivalPhase(window, records, "reload while adding, unsorted view");

  QTableView* list = window.resultList();
  QScrollBar* bar = list->verticalScrollBar();
  scrollPages(list, "scroll one page at the top", 0);
  scrollPages(list, "scroll one page in the middle", bar->maximum() / 2);
  scrollPages(list, "scroll one page at the end", bar->maximum() - 10 * bar->pageStep());

  Figures filters;
  for (int round = 0; round < 5; ++round) {
    for (int filter : {5, 0}) {  // "301 Redirects", "All URLs"
      const Stopwatch change;
      window.filterBox()->setCurrentIndex(filter);
      list->viewport()->repaint();
      filters.add(change);
    }
  }
  filters.print("filter change");

  Figures clicks, sorted;
  QHeaderView* header = list->horizontalHeader();
  const QPoint responseTime(header->sectionViewportPosition(kResponseTimeColumn) + 5, 5);
  // Synthetic response times run from 20 to 319 ms: the first row tells which order shows.
  const auto firstResponseTime = [&] { return window.resultModel()->index(0, kResponseTimeColumn).data().toString(); };
  for (const char* expected : {"0.02", "0.32", "0.02"}) {
    const Stopwatch click;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, responseTime);
    clicks.add(click);
    if (!waitUntil([&] { return firstResponseTime() == expected; })) std::printf("sort did not show\n");
    sorted.add(click);
  }
  clicks.print("column click");
  sorted.print("column click until the sorted order shows");

  next = arrivalPhase(window, next, "reload while adding, sorted view");

  searchTexts(window, "sorted");
  window.searchField()->setText("product-00001");
  arrivalPhase(window, next, "reload while adding, sorted, searched");
  window.session().stopCrawl();
  return 0;
}
