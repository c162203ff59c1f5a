// Opens the desktop window against the demo site and saves the README's screenshots: the window
// idle, during a crawl, with the details of a redirect shown, with the overview charts and with a
// search, and every dialog; it also writes the HTML summary report, which docs/screenshots.sh
// photographs in a headless browser. Run by docs/screenshots.sh under a virtual display.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <utility>

#include "app/CrawlSetup.h"
#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"
#include "demo/DemoSite.h"
#include "results/ResultColumns.h"
#include "ui/CrashReportBox.h"
#include "ui/DetailPanel.h"
#include "ui/LowMemoryDialog.h"
#include "ui/MainWindow.h"
#include "ui/OverviewTab.h"
#include "ui/ProgressWindow.h"
#include "ui/ResultTableModel.h"

using namespace tallyvane;

namespace {

bool save(QWidget& window, const QString& folder, const QString& name) {
  QTest::qWait(300);  // let the window paint
  const QPixmap shot = window.screen()->grabWindow(window.winId());
  const QString path = QDir(folder).filePath(name);
  if (!shot.save(path)) {
    std::fprintf(stderr, "Cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

void closeMessageBoxes(QWidget& window) {
  for (QMessageBox* box : window.findChildren<QMessageBox*>()) box->close();
}

// The first row whose URL holds path.
int rowOf(const ui::ResultTableModel& model, const QString& path) {
  for (int row = 0; row < model.rowCount(); ++row) {
    if (model.index(row, kUrlColumn).data().toString().contains(path)) return row;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QString folder = argc > 1 ? argv[1] : "docs";
  auto library = HttpLibrary::bind(executableDirectory());
  if (!library || !library->initialise()) {
    std::fprintf(stderr, "%s\n", std::string(kCannotLoadCurlMessage).c_str());
    return 1;
  }
  QTemporaryDir scratch;
  Settings settings = defaultSettings(1600);
  settings.NumThreads = 3;  // so the slow page is still being checked in the second picture
  const demo::DemoSite site;

  ui::MainWindow window(*library, settings, settingsLocationOf(scratch.filePath("settings.prefs").toStdString()));
  window.move(40, 40);
  window.show();
  if (!save(window, folder, "main-window-idle.png")) return 1;

  std::string urls;
  for (const std::string& url : site.urls()) urls += url + "\r\n";
  window.startCrawl({}, urls);
  QTest::qWait(900);
  if (!save(window, folder, "main-window-crawling.png")) return 1;

  if (!QTest::qWaitFor([&] { return !window.crawlStillActive(); }, 30000)) return 1;
  QTest::qWait(300);
  closeMessageBoxes(window);
  const int row = rowOf(*window.resultModel(), "/chain/");
  if (row >= 0) window.resultList()->selectRow(row);
  if (!save(window, folder, "main-window-details.png")) return 1;

  window.detailPanel()->setCurrentWidget(window.overview());
  if (!save(window, folder, "main-window-overview.png")) return 1;
  window.detailPanel()->setCurrentIndex(0);
  window.searchField()->setText("PRODUCTS");
  QTest::qWait(300);
  if (!save(window, folder, "main-window-search.png")) return 1;
  window.searchField()->clear();

  // The HTML summary, photographed by the script in a headless browser.
  window.writeReportTo(ReportKind::HtmlSummary, QDir(folder).filePath("html-summary.html").toStdString());
  if (!QTest::qWaitFor([&] { return window.progressWindow() == nullptr; }, 30000)) return 1;

  // The two check windows, as a person opens them from the menu.
  for (const auto& [action, name] : {std::pair{window.menus().checkFile, "check-urls-window.png"},
                                     std::pair{window.menus().checkManual, "enter-urls-window.png"},
                                     std::pair{window.menus().mappingTest, "mapping-test-window.png"}}) {
    action->trigger();
    QTest::qWait(200);
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || !save(*dialog, folder, name)) return 1;
    dialog->close();
  }
  // The settings dialogs and About, as the menus open them.
  const ui::MainMenus& menus = window.menus();
  for (const auto& [action, name] :
       {std::pair{menus.urlChecking, "url-checking-options.png"}, std::pair{menus.urlRewriting, "rewrite-rules.png"},
        std::pair{menus.userAgents, "user-agents.png"}, std::pair{menus.speed, "speed.png"},
        std::pair{menus.headGet, "head-get-method.png"}, std::pair{menus.cookiesAndHeaders, "cookies-and-headers.png"},
        std::pair{menus.proxy, "proxy-settings.png"}, std::pair{menus.tlsAndHosts, "tls-and-hosts.png"},
        std::pair{menus.about, "about.png"}}) {
    action->trigger();
    QTest::qWait(200);
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || !save(*dialog, folder, name)) return 1;
    dialog->close();
  }
  // The crash report, which a crashed run shows in a process of its own.
  QMessageBox* crash = ui::createCrashReportBox({SIGSEGV, 94385355802130, 0});
  crash->show();
  if (!save(*crash, folder, "crash-report.png")) return 1;
  crash->close();

  // The progress window of a save, and the box that ends the crawl's story.
  window.saveResultsTo(scratch.filePath("demo.tvl").toStdString());
  if (window.progressWindow() == nullptr) return 1;
  window.progressWindow()->grab().save(QDir(folder).filePath("progress-window.png"));
  std::printf("%s\n", qPrintable(QDir(folder).filePath("progress-window.png")));
  window.showMessage("Success", "Tallyvane has finished checking all URLs");
  QTest::qWait(300);
  QWidget* box = QApplication::activeModalWidget();
  if (box == nullptr || !save(*box, folder, "message-box.png")) return 1;
  box->close();

  // The test and low-memory windows, the last with a list chosen and its report proposed.
  const QString list = scratch.filePath("urls.txt");
  QFile listFile(list);
  if (!listFile.open(QIODevice::WriteOnly)) return 1;
  listFile.write(QByteArray::fromStdString(urls));
  listFile.close();
  for (const auto& [action, name] : {std::pair{window.menus().canonicalTest, "canonical-test-window.png"},
                                     std::pair{window.menus().mappingTest, "mapping-test-window.png"},
                                     std::pair{window.menus().checkLowMemory, "low-memory-window.png"}}) {
    action->trigger();
    QTest::qWait(200);
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) return 1;
    if (auto* lowMemory = qobject_cast<ui::LowMemoryDialog*>(dialog)) lowMemory->inputField()->setEditText(list);
    if (!save(*dialog, folder, name)) return 1;
    dialog->close();
  }
  // A low-memory crawl: each worker's row shows the URL it is checking.
  SetupCheck lowMemory = checkLowMemoryCheck(list.toStdString(), scratch.filePath("result.csv").toStdString(),
                                             ReportKind::Standard, Filter::AllUrls, settings.slowPageThresholdMs);
  if (lowMemory.message) return 1;
  window.startCrawl(lowMemory.setup);
  QTest::qWait(900);
  if (!save(window, folder, "main-window-low-memory.png")) return 1;
  window.session().stopCrawl();
  return 0;
}
