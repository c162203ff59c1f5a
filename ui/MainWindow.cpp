#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <cassert>

#include "app/CrawlSetup.h"
#include "base/HelpSite.h"
#include "base/Text.h"
#include "results/Filters.h"
#include "results/ResultsFile.h"
#include "ui/AboutDialog.h"
#include "ui/CanonicalTestDialog.h"
#include "ui/CheckFileDialog.h"
#include "ui/CookiesHeadersDialog.h"
#include "ui/DetailPanel.h"
#include "ui/HeadGetDialog.h"
#include "ui/LowMemoryDialog.h"
#include "ui/ManualEntryDialog.h"
#include "ui/MappingTestDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/ProgressWindow.h"
#include "ui/ProxyDialog.h"
#include "ui/QtText.h"
#include "ui/ResultTableModel.h"
#include "ui/RewriteRulesDialog.h"
#include "ui/SpeedDialog.h"
#include "ui/UrlCheckingOptionsDialog.h"
#include "ui/UrlMenu.h"
#include "ui/UserAgentsDialog.h"

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

// The chosen file with the extension added when it has none; nothing when cancelled.
std::optional<std::filesystem::path> chosenPath(const QString& chosen, const char* extension) {
  if (chosen.isEmpty()) return std::nullopt;
  std::filesystem::path path(utf8Text(chosen));
  if (!path.has_extension()) path += extension;
  return path;
}

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
  buildControls();
  connectMenus();
  session_.setResultsChanged([this] { resultsAdded(); });
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
  for (std::string_view name : kFilterNames) filter_->addItem(qText(name));
  filter_->setMinimumSize(300, 28);
  abort_ = new QPushButton("Abort");
  abort_->setEnabled(false);
  clear_ = new QPushButton("Clear");
  clear_->setEnabled(false);
  for (QPushButton* button : {abort_, clear_}) button->setMinimumSize(100, 30);
  auto* toolRow = new QHBoxLayout;
  toolRow->setSpacing(1);
  toolRow->addWidget(filter_);
  toolRow->addWidget(abort_);
  toolRow->addWidget(clear_);
  toolRow->addStretch();

  model_ = new ResultTableModel(session_.view(), this);
  list_ = new QTableView;
  list_->setAccessibleName("Results");
  list_->setModel(model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->setWordWrap(false);
  list_->setShowGrid(false);
  list_->setAlternatingRowColors(true);
  list_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Fixed row heights: a million rows cost nothing to lay out.
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
  QHeaderView* header = list_->horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setStretchLastSection(false);
  header->setHighlightSections(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  resetSortIndicator();

  details_ = new DetailPanel;
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

  constexpr const char* kFieldNames[] = {"Filtered URLs", "URLs", "Responses", "Speed", "Threads"};
  for (size_t field = 0; field < status_.size(); ++field) {
    status_[field] = new QLabel;
    status_[field]->setAccessibleName(kFieldNames[field]);
    statusBar()->addWidget(status_[field], 1);
  }
  statusBar()->setSizeGripEnabled(true);

  setListMode(ListMode::Results);
  const ColumnWidths& widths = settings_.columnWidths;
  details_->setColumnWidths(widths[kResponsesList], widths[kLinksList]);

  connect(filter_, &QComboBox::currentIndexChanged, this, &MainWindow::filterChanged);
  connect(abort_, &QPushButton::clicked, this, [this] { session_.stopCrawl(); });
  connect(clear_, &QPushButton::clicked, this, [this] {
    clearResults();
    refreshFilteredText();
  });
  connect(header, &QHeaderView::sectionClicked, this, &MainWindow::columnClicked);
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MainWindow::showResultDetails);
  connect(list_, &QTableView::clicked, this, &MainWindow::showResultDetails);
  connect(list_, &QTableView::customContextMenuRequested, this, &MainWindow::showResultListMenu);
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
    case DialogId::About: return (new AboutDialog(this))->openModal();
  }
}

template <typename Dialog>
void MainWindow::openSettingsDialog() {
  (new Dialog(settings_, settingsLocation_, this))->openModal();
}

void MainWindow::setListMode(ListMode mode) {
  model_->setMode(mode);
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

void MainWindow::refreshFilteredText() { setStatusText(kFilteredUrlsField, session_.view().filteredUrlsText(crawlBusy_)); }

void MainWindow::clearResults() {
  // Nothing may point into the store once it is emptied.
  details_->clear();
  model_->setReady(false);
  session_.clearResults();
  showListCleared();
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
  captureColumnWidths();
  details_->clear();
  model_->setReady(false);
  session_.startCrawl(settings_, setup, std::move(manualText));
  const ListMode mode = session_.listMode();
  setListMode(mode);
  if (mode == ListMode::Live) {
    model_->setLiveRows(static_cast<int>(settings_.NumThreads),
                        [this](int worker) { return session_.crawl().currentUrl(worker); });
  }
  showListCleared();
  for (int field = 0; field < static_cast<int>(status_.size()); ++field) setStatusText(field, {});
  filter_->setEnabled(mode != ListMode::Live);
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
  connect(dialog, &QDialog::accepted, this, [this, dialog] {
    addRecentFile(settings_.recentInputFiles, dialog->inputFile());
    if (const auto failed = saveSettings(settings_, settingsLocation_)) showMessage(failed->title, failed->text);
    CrawlSetup setup;
    setup.inputFile = dialog->inputFile();
    startCrawl(setup);
  });
  dialog->openModal();
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
  model_->refresh(session_.view().selection().sorted);
  refreshFilteredText();
}

void MainWindow::filterChanged(int filter) {
  const QModelIndexList selected = list_->selectionModel()->selectedRows();
  const int selectedRow = selected.isEmpty() ? -1 : selected.front().row();
  session_.view().selectFilter(filter);
  resetSortIndicator();
  details_->clear();
  model_->reload();
  // The same row number stays selected; its details show on the next click.
  if (selectedRow >= 0 && selectedRow < model_->rowCount()) {
    const QSignalBlocker quiet(list_->selectionModel());
    list_->selectRow(selectedRow);
  }
  refreshFilteredText();
}

void MainWindow::columnClicked(int section) {
  QHeaderView* header = list_->horizontalHeader();
  if (model_->mode() == ListMode::Live || !model_->isReady()) return resetSortIndicator();
  const SortDirection direction = session_.view().columnClicked(model_->resultColumnAt(section), [this] {
    QMetaObject::invokeMethod(this, &MainWindow::sortInstalled, Qt::QueuedConnection);
  });
  header->setSortIndicator(section, direction == SortDirection::Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void MainWindow::sortInstalled() {
  if (!model_->isReady()) return;
  model_->refresh(true);
  showResultDetails();
  refreshFilteredText();
}

const ResultRecord* MainWindow::selectedRecord() const {
  if (model_->mode() == ListMode::Live || !model_->isReady()) return nullptr;
  const QModelIndexList rows = list_->selectionModel()->selectedRows();
  return rows.isEmpty() ? nullptr : session_.view().recordAtRow(rows.front().row());
}

void MainWindow::showResultDetails() {
  details_->clear();
  if (const ResultRecord* record = selectedRecord()) details_->showRecord(*record);
}

void MainWindow::showResultListMenu(const QPoint& position) {
  const ResultRecord* record = selectedRecord();
  if (record == nullptr) return;
  showUrlMenu(this, list_->viewport()->mapToGlobal(position), qText(textOf(record->first().url)));
}

void MainWindow::chooseAndSaveResults() {
  const auto path =
      chosenPath(QFileDialog::getSaveFileName(this, "Save Results To File..", {}, "TVL File (*.tvl)"), ".tvl");
  if (path) saveResultsTo(*path);
}

void MainWindow::chooseAndLoadResults() {
  const auto path =
      chosenPath(QFileDialog::getOpenFileName(this, "Open File with Results..", {}, "TVL File (*.tvl)"), ".tvl");
  if (path) loadResultsFrom(*path);
}

void MainWindow::chooseAndWriteReport(ReportKind kind) {
  const auto path =
      chosenPath(QFileDialog::getSaveFileName(this, "Save Report To File..", {}, "CSV File (*.csv)"), ".csv");
  if (path) writeReportTo(kind, *path);
}

void MainWindow::saveResultsTo(const std::filesystem::path& path) {
  showFileTaskStarted(kSavingResultsTitle, "Saving...");
  session_.startSave(path, fileTaskEndedNotice());
}

void MainWindow::loadResultsFrom(const std::filesystem::path& path) {
  clearResults();
  showFileTaskStarted(kLoadingResultsTitle, "Loading...");
  session_.startLoad(path, fileTaskEndedNotice());
}

void MainWindow::writeReportTo(ReportKind kind, const std::filesystem::path& path) {
  showFileTaskStarted(kSavingReportTitle, "Saving...");
  session_.startReport(kind, path, fileTaskEndedNotice());
}

void MainWindow::showFileTaskStarted(const char* title, const char* text) {
  menus_->setBusy(true);
  clear_->setEnabled(false);
  filter_->setEnabled(false);
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
  progress_.reset();
  menus_->setBusy(false);
  clear_->setEnabled(true);
  filter_->setEnabled(true);
  if (end.loadedResponses) {
    setStatusText(kUrlsField, "URLs: " + std::to_string(session_.store().count()));
    setStatusText(kResponsesField, "Responses: " + std::to_string(*end.loadedResponses));
  }
  if (session_.listMode() != model_->mode()) {
    captureColumnWidths();
    setListMode(session_.listMode());
  }
  model_->setReady(true);
  model_->reload();
  refreshFilteredText();
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
    return;
  }
  // The last rows at once, not on the next tick.
  reloadPending_ = false;
  model_->refresh(session_.view().selection().sorted);
  refreshFilteredText();
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
  }
  exitConfirmed_ = true;
  port_.shutDown();
  listTimer_->stop();
  // A save, load or report in progress is stopped; its partial file never replaces a whole one.
  session_.quit();
  captureColumnWidths();
  if (const auto failed = saveSettings(settings_, settingsLocation_)) {
    showMessageBoxAndWait(this, failed->title, failed->text);
  }
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (requestExit()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace tallyvane::ui
