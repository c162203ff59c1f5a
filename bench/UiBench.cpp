// The desktop list with a million rows: the real main window, model and view, offscreen. Prints
// the time of the list timer's reload while records arrive at 30,000 a second (unsorted, then
// sorted), of scrolling one page at the top, middle and end, of a filter change and of a column
// click (the click itself on the main thread, and until the sorted order shows).
//   ui_bench [RECORDS]   (default 1,000,000)

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"
#include "bench/SyntheticResults.h"
#include "results/ResultColumns.h"
#include "ui/MainWindow.h"
#include "ui/ResultTableModel.h"

using namespace tallyvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kAddsPerSecond = 30000;
constexpr auto kArrivalPhase = std::chrono::seconds(5);

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the calling thread: unlike wall time, not inflated by other processes on the machine.
double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
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
    if (!QTest::qWaitFor([&] { return firstResponseTime() == expected; }, 60000)) std::printf("sort did not show\n");
    sorted.add(click);
  }
  clicks.print("column click");
  sorted.print("column click until the sorted order shows");

  arrivalPhase(window, next, "reload while adding, sorted view");
  window.session().stopCrawl();
  return 0;
}
