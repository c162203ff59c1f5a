#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <cassert>
#include <fstream>

#include "app/ConnectionSettings.h"
#include "app/CrawlSetup.h"
#include "base/FileContents.h"
#include "base/HelpSite.h"
#include "base/Text.h"
#include "results/Filters.h"
#include "results/ResultsFile.h"
#include "ui/AboutDialog.h"
#include "ui/CanonicalTestDialog.h"
#include "ui/CheckFileDialog.h"
#include "ui/CookiesHeadersDialog.h"
#include "ui/DetailPanel.h"
#include "ui/FileDialogs.h"
#include "ui/FilterBox.h"
#include "ui/HeadGetDialog.h"
#include "ui/LowMemoryDialog.h"
#include "ui/ManualEntryDialog.h"
#include "ui/MappingTestDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/OverviewTab.h"
#include "ui/ProgressWindow.h"
#include "ui/ProxyDialog.h"
#include "ui/QtText.h"
#include "ui/ResultListView.h"
#include "ui/ResultTableModel.h"
#include "ui/RewriteRulesDialog.h"
#include "ui/SpeedDialog.h"
#include "ui/TlsHostsDialog.h"
#include "ui/UrlCheckingOptionsDialog.h"
#include "ui/UrlMenu.h"
#include "ui/UserAgentsDialog.h"
#include "ui/WindowPlacement.h"

namespace tallyvane::ui {
namespace {

// What the port calls from other threads must arrive here through a queued call.
[[maybe_unused]] bool onMainThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Posted by a file task's thread when it has ended.
const QEvent::Type kFileTaskEndedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

std::vector<int64_t> columnWidthsOf(const QTableView* list) {
  std::vector<int64_t> widths;
  for (int column = 0; column < list->model()->columnCount(); ++column) widths.push_back(list->columnWidth(column));
  return widths;
}

constexpr const char* kStatusFieldNames[] = {"Filtered URLs", "URLs", "Responses", "Speed", "Threads"};
constexpr const char* kCopyUrlsText = "Copy URL";
constexpr const char* kCopyRowsText = "Copy Row";
// The lists a dropped file may be: those "Check URLs" reads.
const QStringList kDroppableSuffixes = {"txt", "csv", "xml"};

}  // namespace

MainWindow::MainWindow(const HttpLibrary& http, Settings& settings, SettingsLocation settingsLocation, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      settingsLocation_(std::move(settingsLocation)),
      port_(*this),
      session_(port_, &http, settings.slowPageThresholdMs) {
  setWindowTitle(kProgramTitle);
  setAccessibleName(kProgramTitle);
  resize(1000, 800);
  setAcceptDrops(true);
  buildControls();
  connectMenus();
  placementRestored_ = restoreWindowPlacement(*this, settings_);
  session_.setResultsChanged([this] { resultsAdded(); });
  session_.search().setFound([this] { QMetaObject::invokeMethod(this, &MainWindow::searchFound, Qt::QueuedConnection); });
  listTimer_ = new QTimer(this);
  connect(listTimer_, &QTimer::timeout, this, &MainWindow::refreshList);
  listTimer_->start(kListTimerMs);
}

MainWindow::~MainWindow() {
  // Nothing may wait on a window that is gone; the crawl and the task end before the store.
  port_.shutDown();
  session_.quit();
}

void MainWindow::buildControls() {
  menus_ = std::make_unique<MainMenus>(*this);

  filter_ = new QComboBox;
  filter_->setAccessibleName("Filter");
  offerFilters(filter_, false);
  filter_->setMinimumSize(300, 28);
  abort_ = new QPushButton("Abort");
  abort_->setEnabled(false);
  clear_ = new QPushButton("Clear");
  clear_->setEnabled(false);
  for (QPushButton* button : {abort_, clear_}) button->setMinimumSize(100, 30);
  search_ = new QLineEdit;
  search_->setAccessibleName("Search URLs");
  search_->setPlaceholderText("Search URLs (Ctrl+F)");
  search_->setClearButtonEnabled(true);
  search_->setMinimumSize(260, 28);
  auto* toolRow = new QHBoxLayout;
  toolRow->setSpacing(1);
  toolRow->addWidget(filter_);
  toolRow->addWidget(abort_);
  toolRow->addWidget(clear_);
  toolRow->addStretch();
  toolRow->addWidget(search_);

  model_ = new ResultTableModel(session_.view(), this);
  list_ = new ResultListView;
  list_->setAccessibleName("Results");
  list_->setModel(model_);
  QHeaderView* header = list_->horizontalHeader();
  resetSortIndicator();

  details_ = new DetailPanel;
  overview_ = new OverviewTab(session_.store(), settings_.slowPageThresholdMs);
  details_->addTab(overview_, kOverviewTab);
  splitter_ = new QSplitter(Qt::Vertical);
  splitter_->setAccessibleName("Splitter");
  splitter_->setChildrenCollapsible(false);
  splitter_->addWidget(list_);
  splitter_->addWidget(details_);
  // The list takes three fifths, and keeps that share when the window is resized.
  splitter_->setStretchFactor(0, 3);
  splitter_->setStretchFactor(1, 2);
  splitter_->setSizes({3000, 2000});

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(1, 1, 1, 0);
  layout->setSpacing(1);
  layout->addLayout(toolRow);
  layout->addWidget(splitter_, 1);
  setCentralWidget(central);

  for (size_t field = 0; field < status_.size(); ++field) {
    // No accessible name: a screen reader then reads the whole text ("URLs: 12"), which changes.
    status_[field] = new QLabel;
    status_[field]->setAccessibleDescription(kStatusFieldNames[field]);
    statusBar()->addWidget(status_[field], 1);
  }
  statusBar()->setSizeGripEnabled(true);

  setListMode(ListMode::Results);
  const ColumnWidths& widths = settings_.columnWidths;
  details_->setColumnWidths(widths[kResponsesList], widths[kLinksList]);

  connect(filter_, &QComboBox::currentIndexChanged, this, &MainWindow::filterChanged);
  connect(abort_, &QPushButton::clicked, this, [this] { session_.stopCrawl(); });
  connect(clear_, &QPushButton::clicked, this, [this] {
    if (!mayDiscardResults()) return;
    clearResults();
    refreshFilteredText();
  });
  connect(header, &QHeaderView::sectionClicked, this, &MainWindow::columnClicked);
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MainWindow::showResultDetails);
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &MainWindow::showResultDetails);
  connect(list_, &QTableView::clicked, this, &MainWindow::showResultDetails);
  connect(list_, &QTableView::customContextMenuRequested, this, &MainWindow::showResultListMenu);
  // A reset drops the selection: the details of a row no longer selected go with it.
  connect(model_, &QAbstractItemModel::modelReset, this, &MainWindow::showResultDetails);
  connect(search_, &QLineEdit::textChanged, this, &MainWindow::restartSearch);
  connect(overview_, &OverviewTab::filterChosen, this, [this](Filter filter) { chooseFilter(filter_, filter); });
  connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
    search_->setFocus(Qt::ShortcutFocusReason);
    search_->selectAll();
  });
  connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, [this] {
    if (abort_->isEnabled()) abort_->click();
  });
}

void MainWindow::connectMenus() {
  MainMenus& m = *menus_;
  // No structured binding: clang 14 refuses to capture one in a lambda.
  for (const auto& entry : m.dialogActions()) {
    const DialogId dialog = entry.second;
    connect(entry.first, &QAction::triggered, this, [this, dialog] { openDialog(dialog); });
  }
  connect(m.checkClipboard, &QAction::triggered, this, &MainWindow::startClipboardCheck);
  connect(m.saveResults, &QAction::triggered, this, &MainWindow::chooseAndSaveResults);
  connect(m.loadResults, &QAction::triggered, this, &MainWindow::chooseAndLoadResults);
  connect(m.exit, &QAction::triggered, this, &QWidget::close);
  for (size_t kind = 0; kind < m.reports.size(); ++kind) {
    connect(m.reports[kind], &QAction::triggered, this,
            [this, kind] { chooseAndWriteReport(static_cast<ReportKind>(kind)); });
  }
  connect(m.htmlSummary, &QAction::triggered, this, [this] { chooseAndWriteReport(ReportKind::HtmlSummary); });
  connect(m.userGuide, &QAction::triggered, this,
          [] { QDesktopServices::openUrl(QUrl(qText(helpPageUrl("/user-guide")))); });
}

void MainWindow::openDialog(DialogId dialog) {
  switch (dialog) {
    case DialogId::CheckFile: return openCheckFileDialog();
    case DialogId::ManualEntry: return openManualEntryDialog();
    case DialogId::LowMemory: return openCrawlStartDialog(new LowMemoryDialog(settings_, settingsLocation_, this));
    case DialogId::CanonicalTest:
      return openCrawlStartDialog(new CanonicalTestDialog(settings_, settingsLocation_, this));
    case DialogId::MappingTest: return openCrawlStartDialog(new MappingTestDialog(settings_, settingsLocation_, this));
    case DialogId::UrlChecking: return openSettingsDialog<UrlCheckingOptionsDialog>();
    case DialogId::UrlRewriting: return openSettingsDialog<RewriteRulesDialog>();
    case DialogId::UserAgents: return openSettingsDialog<UserAgentsDialog>();
    case DialogId::Speed: return openSettingsDialog<SpeedDialog>();
    case DialogId::HeadGetMethod: return openSettingsDialog<HeadGetDialog>();
    case DialogId::CookiesAndHeaders: return openSettingsDialog<CookiesHeadersDialog>();
    case DialogId::Proxy: return openSettingsDialog<ProxyDialog>();
    case DialogId::TlsAndHosts: return openSettingsDialog<TlsHostsDialog>();
    case DialogId::About: return (new AboutDialog(this))->openModal();
  }
}

template <typename Dialog>
void MainWindow::openSettingsDialog() {
  (new Dialog(settings_, settingsLocation_, this))->openModal();
}

void MainWindow::setListMode(ListMode mode) {
  model_->setMode(mode);
  offerFilters(filter_, mode == ListMode::TestResults);
  const std::vector<int64_t>& widths = settings_.columnWidths[static_cast<size_t>(mode)];
  for (int column = 0; column < model_->columnCount() && column < static_cast<int>(widths.size()); ++column) {
    list_->setColumnWidth(column, static_cast<int>(widths[static_cast<size_t>(column)]));
  }
  resetSortIndicator();
}

void MainWindow::captureColumnWidths() {
  tallyvane::captureColumnWidths(settings_, static_cast<int>(model_->mode()), columnWidthsOf(list_), details_->responsesColumnWidths(),
                                 details_->linksColumnWidths());
}

void MainWindow::resetSortIndicator() { list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); }

void MainWindow::showSortIndicator() {
  const ResultView& view = session_.view();
  if (view.direction() == SortDirection::None || model_->mode() == ListMode::Live) return resetSortIndicator();
  const int section = view.sortColumn() + (model_->mode() == ListMode::TestResults ? 1 : 0);
  list_->horizontalHeader()->setSortIndicator(
      section, view.direction() == SortDirection::Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void MainWindow::refreshFilteredText() {
  if (model_->showsSearchRows()) {
    return setStatusText(kFilteredUrlsField, "Filtered URLs: " + std::to_string(model_->rowCount()));
  }
  setStatusText(kFilteredUrlsField, session_.view().filteredUrlsText(crawlBusy_));
}

void MainWindow::restartSearch() {
  session_.search().search(utf8Text(search_->text()), session_.view().selection());
  if (!session_.search().active() && model_->showsSearchRows()) {
    model_->setSearchRows(nullptr);
    refreshFilteredText();
  }
}

void MainWindow::searchFound() {
  // A result for a text since changed, or for rows that are being replaced, is not shown.
  if (!model_->isReady() || model_->mode() == ListMode::Live || !session_.search().active()) return;
  const auto rows = session_.search().rows();
  if (!rows) return;
  model_->setSearchRows(rows);
  refreshFilteredText();
}

bool MainWindow::mayDiscardResults() {
  if (!unsavedResults_ || session_.store().count() == 0) return true;
  return askYesNo(this, "", kDiscardResultsQuestion);
}

void MainWindow::clearResults() {
  unsavedResults_ = false;
  // Nothing may point into the store once it is emptied.
  details_->clear();
  model_->setReady(false);
  model_->setSearchRows(nullptr);
  overview_->clear();
  session_.clearResults();
  showListCleared();
  restartSearch();
}

void MainWindow::showListCleared() {
  {
    const QSignalBlocker quiet(filter_);
    filter_->setCurrentIndex(0);
  }
  resetSortIndicator();
  model_->setReady(true);
  model_->reload();
}

void MainWindow::startCrawl(const CrawlSetup& setup, std::string manualText) {
  if (!mayDiscardResults()) return;
  captureColumnWidths();
  details_->clear();
  model_->setReady(false);
  model_->setSearchRows(nullptr);
  overview_->clear();
  session_.startCrawl(settings_, setup, std::move(manualText), connectionOptionsOf(settings_));
  const ListMode mode = session_.listMode();
  setListMode(mode);
  if (mode == ListMode::Live) {
    model_->setLiveRows(static_cast<int>(settings_.NumThreads),
                        [this](int worker) { return session_.crawl().currentUrl(worker); });
  }
  showListCleared();
  for (int field = 0; field < static_cast<int>(status_.size()); ++field) setStatusText(field, {});
  filter_->setEnabled(mode != ListMode::Live);
  search_->setEnabled(mode != ListMode::Live);
  if (mode != ListMode::Live) restartSearch();
  setCrawlBusy(true);
}

void MainWindow::openCrawlStartDialog(CrawlStartDialog* dialog) {
  connect(dialog, &QDialog::accepted, this, [this, dialog] { startCrawl(dialog->setup()); });
  dialog->openModal();
}

void MainWindow::startClipboardCheck() {
  startCrawl({}, withCrLfLineBreaks(utf8Text(QGuiApplication::clipboard()->text())));
}

void MainWindow::openCheckFileDialog() {
  auto* dialog = new CheckFileDialog(settings_.recentInputFiles, this);
  connect(dialog, &QDialog::accepted, this, [this, dialog] { checkFile(dialog->inputFile()); });
  dialog->openModal();
}

void MainWindow::checkFile(const std::string& typed) {
  const std::string file(trimBlanks(typed));
  if (const auto refused = inputFileProblem(file)) return showMessage(kErrorTitle, *refused);
  addRecentFile(settings_.recentInputFiles, file);
  if (const auto failed = saveSettings(settings_, settingsLocation_)) showMessage(failed->title, failed->text);
  CrawlSetup setup;
  setup.inputFile = file;
  startCrawl(setup);
}

std::optional<std::string> MainWindow::droppableFile(const QMimeData* data) const {
  // Only while "Check URLs" itself could be chosen, and one list at a time.
  if (!menus_->checkFile->isEnabled() || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
  const QUrl url = data->urls().front();
  if (!url.isLocalFile()) return std::nullopt;
  const QString file = url.toLocalFile();
  if (!kDroppableSuffixes.contains(QFileInfo(file).suffix(), Qt::CaseInsensitive)) return std::nullopt;
  return utf8Text(file);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (droppableFile(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const auto file = droppableFile(event->mimeData());
  if (!file) return;
  event->acceptProposedAction();
  // After the drop has ended: the crawl's questions and messages must not run inside it.
  QMetaObject::invokeMethod(this, [this, file = *file] { checkFile(file); }, Qt::QueuedConnection);
}

void MainWindow::openManualEntryDialog() {
  auto* dialog = new ManualEntryDialog(this);
  connect(dialog, &QDialog::accepted, this, [this, dialog] {
    startCrawl({}, dialog->manualText());
  });
  dialog->openModal();
}

void MainWindow::refreshList() {
  if (model_->mode() == ListMode::Live) {
    if (session_.crawl().takeWorkerViewChange()) model_->refresh(false);
    return;
  }
  if (!model_->isReady() || !reloadPending_.exchange(false)) return;
  // In a sorted view new rows land anywhere, so every shown row may have changed.
  const bool orderChanged = session_.view().selection().sorted;
  session_.search().rowsAdded(orderChanged);
  model_->refresh(orderChanged);
  refreshFilteredText();
  overview_->refresh();
}

void MainWindow::filterChanged() {
  const QModelIndexList selected = list_->selectionModel()->selectedRows();
  const int selectedRow = selected.isEmpty() ? -1 : selected.front().row();
  session_.view().selectFilter(chosenFilter(filter_));
  resetSortIndicator();
  details_->clear();
  model_->reload();
  restartSearch();
  // The same row number stays selected; its details show on the next click.
  if (selectedRow >= 0 && selectedRow < model_->rowCount()) {
    const QSignalBlocker quiet(list_->selectionModel());
    list_->selectRow(selectedRow);
  }
  refreshFilteredText();
}

void MainWindow::columnClicked(int section) {
  QHeaderView* header = list_->horizontalHeader();
  // The header has moved its indicator already: put back the one of the order the list keeps.
  if (model_->mode() == ListMode::Live || !model_->isReady()) return showSortIndicator();
  const SortDirection direction = session_.view().columnClicked(model_->resultColumnAt(section), [this] {
    QMetaObject::invokeMethod(this, &MainWindow::sortInstalled, Qt::QueuedConnection);
  });
  header->setSortIndicator(section, direction == SortDirection::Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void MainWindow::sortInstalled() {
  if (!model_->isReady()) return;
  restartSearch();
  session_.search().rowsAdded(true);  // a new order of the same rows: scanned again
  model_->refresh(true);
  showResultDetails();
  refreshFilteredText();
}

const ResultRecord* MainWindow::selectedRecord() const {
  // Of several selected rows, the current one.
  const QModelIndex current = list_->currentIndex();
  if (!current.isValid() || !list_->selectionModel()->isRowSelected(current.row())) return nullptr;
  return model_->recordAtRow(current.row());
}

void MainWindow::showResultDetails() {
  details_->clear();
  if (const ResultRecord* record = selectedRecord()) details_->showRecord(*record);
}

void MainWindow::showResultListMenu(const QPoint& position) {
  const ResultRecord* record = selectedRecord();
  if (record == nullptr) return;
  showUrlMenu(this, list_->viewport()->mapToGlobal(position), qText(textOf(record->first().url)),
              {{kCopyUrlsText, [this] { QGuiApplication::clipboard()->setText(list_->selectedUrlsText()); }},
               {kCopyRowsText, [this] { list_->copySelectedRows(); }}});
}

std::optional<std::filesystem::path> MainWindow::chooseFileToSave(const QString& title, const QString& filter,
                                                                  const char* extension) {
  const QString chosen = ui::chooseFileToSave(this, title, filter);
  if (chosen.isEmpty()) return std::nullopt;
  std::filesystem::path path(utf8Text(chosen));
  if (!path.has_extension()) path += extension;
  return path;
}

std::optional<std::filesystem::path> MainWindow::chooseFileToOpen(const QString& title, const QString& filter) {
  const QString chosen = ui::chooseFileToOpen(this, title, filter);
  if (chosen.isEmpty()) return std::nullopt;
  return std::filesystem::path(utf8Text(chosen));
}

void MainWindow::chooseAndSaveResults() {
  if (const auto path = chooseFileToSave("Save Results To File..", "TVL File (*.tvl)", ".tvl")) saveResultsTo(*path);
}

void MainWindow::chooseAndLoadResults() {
  // The file as chosen: an open dialog only offers files that exist.
  if (const auto path = chooseFileToOpen("Open File with Results..", "TVL File (*.tvl)")) loadResultsFrom(*path);
}

void MainWindow::chooseAndWriteReport(ReportKind kind) {
  const bool html = kind == ReportKind::HtmlSummary;
  const auto path = html ? chooseFileToSave("Save HTML Summary Report To File..", "HTML File (*.html)", ".html")
                         : chooseFileToSave("Save Report To File..", "CSV File (*.csv)", ".csv");
  if (path) writeReportTo(kind, *path);
}

void MainWindow::saveResultsTo(const std::filesystem::path& path) {
  if (const std::optional<Message> refusal = saveRefusal(path)) return showMessage(refusal->title, refusal->text);
  taskKeepsResults_ = true;
  showFileTaskStarted(kSavingResultsTitle, "Saving...");
  session_.startSave(path, fileTaskEndedNotice());
}

void MainWindow::loadResultsFrom(const std::filesystem::path& path) {
  // Refused before anything changes: the results shown stay, and nothing flashes.
  if (!std::ifstream(path, std::ios::binary).is_open()) return showMessage(kErrorTitle, kCannotOpenResultsMessage);
  if (!mayDiscardResults()) return;
  clearResults();
  taskKeepsResults_ = true;
  // Counted again only once the whole file has loaded.
  setStatusText(kUrlsField, {});
  setStatusText(kResponsesField, {});
  showFileTaskStarted(kLoadingResultsTitle, "Loading...");
  session_.startLoad(path, fileTaskEndedNotice());
}

void MainWindow::writeReportTo(ReportKind kind, const std::filesystem::path& path) {
  if (probeWritable(path)) return showMessage(kErrorTitle, std::string(kCannotCreateReportMessage) + path.string());
  taskKeepsResults_ = false;
  showFileTaskStarted(kSavingReportTitle, "Saving...");
  session_.startReport(kind, path, fileTaskEndedNotice());
}

void MainWindow::showFileTaskStarted(const char* title, const char* text) {
  menus_->setBusy(true);
  clear_->setEnabled(false);
  filter_->setEnabled(false);
  search_->setEnabled(false);
  progress_ = std::make_unique<ProgressWindow>(title, text, this);
  progress_->show();
  model_->setReady(false);
}

CrawlSession::TaskEnded MainWindow::fileTaskEndedNotice() {
  return [this] { QCoreApplication::postEvent(this, new QEvent(kFileTaskEndedEvent)); };
}

bool MainWindow::event(QEvent* event) {
  if (event->type() != kFileTaskEndedEvent) return QMainWindow::event(event);
  fileTaskEnded();
  return true;
}

void MainWindow::fileTaskEnded() {
  const FileTaskEnd end = session_.finishFileTask();
  // Saved, or what a file holds: nothing to lose.
  if (end.succeeded && taskKeepsResults_) unsavedResults_ = false;
  progress_.reset();
  menus_->setBusy(false);
  clear_->setEnabled(true);
  filter_->setEnabled(true);
  search_->setEnabled(true);
  // A failed load keeps what it read, but does not count it as loaded.
  if (end.succeeded && end.loadedResponses) {
    setStatusText(kUrlsField, "URLs: " + std::to_string(session_.store().count()));
    setStatusText(kResponsesField, "Responses: " + std::to_string(*end.loadedResponses));
  }
  if (session_.listMode() != model_->mode()) {
    captureColumnWidths();
    setListMode(session_.listMode());
  }
  model_->setReady(true);
  model_->reload();
  showSortIndicator();
  restartSearch();
  refreshFilteredText();
  overview_->refresh();
}

void MainWindow::showMessage(std::string_view title, std::string_view text) {
  assert(onMainThread());
  showMessageBox(this, title, text);
}

void MainWindow::setStatusText(int field, std::string_view text) {
  assert(onMainThread());
  if (field < 0 || field >= static_cast<int>(status_.size())) return;
  status_[static_cast<size_t>(field)]->setText(qText(text));
}

void MainWindow::setCrawlBusy(bool busy) {
  assert(onMainThread());
  crawlBusy_ = busy;
  menus_->setBusy(busy);
  abort_->setEnabled(busy);
  clear_->setEnabled(!busy);
  if (busy) return;
  session_.waitForCrawl();  // at once: the crawl has ended
  if (model_->mode() == ListMode::Live) {
    // Its results are in its report: the list returns to the normal view, and the status bar
    // stays as the controller emptied it.
    captureColumnWidths();
    setListMode(session_.listMode());
    details_->clear();
    filter_->setEnabled(true);
    search_->setEnabled(true);
    restartSearch();
    return;
  }
  unsavedResults_ = true;
  // The last rows at once, not on the next tick.
  reloadPending_ = false;
  const bool orderChanged = session_.view().selection().sorted;
  session_.search().rowsAdded(orderChanged);
  model_->refresh(orderChanged);
  refreshFilteredText();
  overview_->refresh();
}

void MainWindow::showTaskProgress(std::string_view text, int64_t done, int64_t total) {
  assert(onMainThread());
  if (progress_) progress_->setProgress(text, done, total);
}

bool MainWindow::requestExit() {
  if (exitConfirmed_) return true;
  Crawl& crawl = session_.crawl();
  if (crawl.isActive()) {
    if (!askYesNo(this, "", kExitQuestion)) return false;
    port_.shutDown();
    session_.quit();
    crawl.waitFor(kQuitWaitForCrawl);
  } else if (!mayDiscardResults()) {
    return false;
  }
  exitConfirmed_ = true;
  port_.shutDown();
  listTimer_->stop();
  // A save, load or report in progress is stopped; its partial file never replaces a whole one.
  session_.quit();
  captureColumnWidths();
  captureWindowPlacement(*this, *splitter_, settings_);
  if (const auto failed = saveSettings(settings_, settingsLocation_)) {
    showMessageBoxAndWait(this, failed->title, failed->text);
  }
  return true;
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  // Once laid out: the kept height is of the list in a window of its final size.
  QMetaObject::invokeMethod(this, [this] { restoreSplitterPlacement(*splitter_, settings_); }, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (requestExit()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace tallyvane::ui
