#include "ui/SpeedDialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "config/TypedValues.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

QLineEdit* digitsField(int64_t value) {
  auto* field = new QLineEdit(QString::number(value));
  field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
  field->setFixedWidth(60);
  return field;
}

}  // namespace

SpeedDialog::SpeedDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, QStringLiteral("URL Checking Speed"), {470, 280}, "/speed"),
      threads_(digitsField(settings.NumThreads)),
      timeout_(digitsField(settings.TimeoutSeconds)),
      maxPerHost_(digitsField(settings.MaxPerHost)),
      hostDelay_(digitsField(settings.HostDelayMs)),
      retryAfterLimit_(digitsField(settings.RetryAfterLimitSeconds)) {
  // One form, so every field stands in one column.
  auto* form = new QFormLayout;
  form->setFormAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  form->setLabelAlignment(Qt::AlignRight);
  form->addRow(labelFor(threads_, QStringLiteral("Number of Threads (1 to 200): ")), threads_);
  form->addRow(labelFor(timeout_, QStringLiteral("Request Time-out in Seconds (0 = none): ")), timeout_);
  // A production site is spared however many threads check the list.
  auto* perHost = new QLabel(QStringLiteral("Politeness per host (0 = off)"));
  perHost->setStyleSheet(QStringLiteral("font-weight: bold; margin-top: 10px"));
  form->addRow(perHost);
  form->addRow(labelFor(maxPerHost_, QStringLiteral("Requests at Once to One Host (0 to 200): ")), maxPerHost_);
  form->addRow(labelFor(hostDelay_, QStringLiteral("Delay Between Requests in ms (0 to 60000): ")), hostDelay_);
  form->addRow(labelFor(retryAfterLimit_, QStringLiteral("Wait for Retry-After Up To Seconds (0 to 600): ")),
               retryAfterLimit_);
  content()->addStretch();
  content()->addLayout(form);
  content()->addStretch();
  threads_->selectAll();
  finishSettingsLayout(ReturnKey::SaveChanges, threads_);
}

bool SpeedDialog::applyTo(Settings& settings) {
  const auto threads = typedThreadCount(utf8Text(threads_->text()));
  const auto timeout = typedTimeoutSeconds(utf8Text(timeout_->text()));
  const auto maxPerHost = typedMaxPerHost(utf8Text(maxPerHost_->text()));
  const auto hostDelay = typedHostDelayMs(utf8Text(hostDelay_->text()));
  const auto retryAfterLimit = typedRetryAfterLimit(utf8Text(retryAfterLimit_->text()));
  const std::string_view problem = !threads           ? kInvalidThreadsMessage
                                   : !timeout         ? kInvalidTimeoutMessage
                                   : !maxPerHost      ? kInvalidMaxPerHostMessage
                                   : !hostDelay       ? kInvalidHostDelayMessage
                                   : !retryAfterLimit ? kInvalidRetryAfterLimitMessage
                                                      : std::string_view();
  if (!problem.empty()) {
    showMessageBox(this, kErrorTitle, problem);
    return false;
  }
  settings.NumThreads = *threads;
  settings.TimeoutSeconds = *timeout;
  settings.MaxPerHost = *maxPerHost;
  settings.HostDelayMs = *hostDelay;
  settings.RetryAfterLimitSeconds = *retryAfterLimit;
  return true;
}

}  // namespace tallyvane::ui
