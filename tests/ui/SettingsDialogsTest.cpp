#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "config/SettingsFile.h"
#include "input/RewriteRules.h"
#include "input/RewriteRulesHelp.h"
#include "tests/support/ScratchFolder.h"
#include "tests/ui/DialogDriver.h"
#include "ui/CookiesHeadersDialog.h"
#include "ui/HeadGetDialog.h"
#include "ui/ProxyDialog.h"
#include "ui/RewriteRulesDialog.h"
#include "ui/SpeedDialog.h"
#include "ui/UrlCheckingOptionsDialog.h"
#include "ui/UserAgentsDialog.h"

namespace tallyvane::ui {
namespace {

namespace fs = std::filesystem;
using testing::MessageBoxAnswers;
using testing::OpenedPages;
using testing::pressKey;
using testing::ScratchFolder;

// The control a screen reader announces under that name; also proves it has one.
template <typename Control>
Control* control(QWidget* dialog, const char* name) {
  for (Control* candidate : dialog->findChildren<Control*>()) {
    if (candidate->accessibleName() == QLatin1String(name)) return candidate;
  }
  ADD_FAILURE() << "no control named " << name;
  return nullptr;
}

class SettingsDialogsTest : public ::testing::Test {
 public:
  SettingsLocation location() const { return {folder.path(), folder / "settings.prefs"}; }
  bool fileWritten() const { return fs::exists(folder / "settings.prefs"); }
  Settings reloaded() const {
    Settings loaded;
    EXPECT_FALSE(loadSettings(loaded, location(), 1920));
    return loaded;
  }
  std::string inMemory() const { return settingsDocumentOf(settings).serialize(); }

  template <typename Dialog>
  Dialog* open() {
    auto* dialog = new Dialog(settings, location(), &mainWindow);
    EXPECT_TRUE(testing::showActive(dialog));
    return dialog;
  }
  void clickSave(SettingsDialog* dialog) { dialog->saveButton()->click(); }

  ScratchFolder folder;
  Settings settings = defaultSettings(1920);
  QWidget mainWindow;
};

struct DialogCase {
  std::function<SettingsDialog*(SettingsDialogsTest&)> open;
  const char* title;
  std::vector<const char*> tabOrder;  // from the control that has the focus at first
  const char* helpPage;               // nullptr: no help page
};

TEST_F(SettingsDialogsTest, EveryDialogIsAFixedModalWindowWorkedByKeyboardThatEscapeLeavesUnchanged) {
  const std::vector<DialogCase> cases = {
      {[](auto& t) { return t.template open<UrlCheckingOptionsDialog>(); },
       "URL Checking Options",
       {"Check All Links Found in HTTP Headers", "Save Changes", "Cancel"},
       nullptr},
      {[](auto& t) { return t.template open<UserAgentsDialog>(); },
       "User Agents",
       {"Preset Agents", "HTTP Request User Agent", "Robots User Agent", "Save Changes", "Cancel"},
       "https://help.tallyvane.example/user-agents"},
      {[](auto& t) { return t.template open<SpeedDialog>(); },
       "URL Checking Speed",
       {"Number of Threads (1 to 200)", "Request Time-out in Seconds (0 = none)", "Requests at Once to One Host (0 to 200)",
        "Delay Between Requests in ms (0 to 60000)", "Wait for Retry-After Up To Seconds (0 to 600)", "Save Changes",
        "Cancel"},
       "https://help.tallyvane.example/speed"},
      {[](auto& t) { return t.template open<HeadGetDialog>(); },
       "HEAD/GET Method Configuration",
       {"Always Use HEAD Requests", "Enter one domain per line", "Ask Again With GET When HEAD Is Refused", "Save Changes",
        "Cancel"},
       "https://help.tallyvane.example/request-methods"},
      {[](auto& t) { return t.template open<CookiesHeadersDialog>(); },
       "Cookies & Custom Headers",
       {"Allow Cookies", "Add Custom Headers To Every Request", "Custom Headers", "Save Changes", "Cancel"},
       "https://help.tallyvane.example/http-requests"},
      {[](auto& t) { return t.template open<ProxyDialog>(); },
       "Proxy Settings",
       {"Use Proxy Settings", "Address", "Port", "User", "Password", "Save Changes", "Cancel"},
       "https://help.tallyvane.example/proxy"},
      {[](auto& t) { return t.template open<RewriteRulesDialog>(); },
       "Rewrite Rules Configuration",
       {"Rewrite URLs Before Checking Them", "Rewrite Rules", "Save Changes", "Cancel"},
       "https://help.tallyvane.example/url-rewriting"},
  };
  const std::string before = inMemory();
  for (const DialogCase& dialogCase : cases) {
    SCOPED_TRACE(dialogCase.title);
    OpenedPages pages;
    QPointer<SettingsDialog> dialog = dialogCase.open(*this);
    EXPECT_EQ(dialog->windowTitle().toStdString(), dialogCase.title);
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_EQ(dialog->parentWidget(), &mainWindow);
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    std::vector<std::string> order;
    for (size_t i = 0; i < dialogCase.tabOrder.size(); ++i) {
      order.push_back(QApplication::focusWidget()->accessibleName().toStdString());
      pressKey(dialog, Qt::Key_Tab);
    }
    EXPECT_EQ(order, std::vector<std::string>(dialogCase.tabOrder.begin(), dialogCase.tabOrder.end()));

    pressKey(dialog, Qt::Key_F1);
    EXPECT_EQ(pages.pages(),
              dialogCase.helpPage ? std::vector<std::string>{dialogCase.helpPage} : std::vector<std::string>{});
    EXPECT_TRUE(dialog->isVisible());

    pressKey(dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    delete dialog;
  }
  EXPECT_EQ(inMemory(), before);
  EXPECT_FALSE(fileWritten());
}

TEST_F(SettingsDialogsTest, ReturnPressesSaveOnlyWhereItIsTheDialogsButton) {
  auto* options = open<UrlCheckingOptionsDialog>();
  pressKey(options, Qt::Key_Space);  // toggles the focused check box
  pressKey(options, Qt::Key_Return);
  EXPECT_FALSE(options->isVisible());
  EXPECT_EQ(settings.CheckLinksInHeaders, 1);
  EXPECT_EQ(reloaded().CheckLinksInHeaders, 1);

  // With a multi-line field Return means nothing to the dialog, wherever the focus is.
  auto* cookies = open<CookiesHeadersDialog>();
  pressKey(cookies, Qt::Key_Space);
  pressKey(cookies, Qt::Key_Return);
  EXPECT_TRUE(cookies->isVisible());
  EXPECT_EQ(settings.CookiesDisabled, CookiesChoice::Disabled);

  // A disabled button is not pressed by Return.
  auto* proxy = open<ProxyDialog>();
  proxy->saveButton()->setEnabled(false);
  pressKey(proxy, Qt::Key_Return);
  EXPECT_TRUE(proxy->isVisible());
}

TEST_F(SettingsDialogsTest, ThreadCountOutsideOneTo200IsRefusedAndTheDialogKeepsIt) {
  for (const char* typed : {"0", "201", "", "99999999999999999999999"}) {
    SCOPED_TRACE(typed);
    auto* dialog = open<SpeedDialog>();
    auto* field = control<QLineEdit>(dialog, "Number of Threads (1 to 200)");
    EXPECT_EQ(field->text(), "30");
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
    MessageBoxAnswers answers;
    pressKey(dialog, Qt::Key_Return);
    EXPECT_EQ(answers.seen(),
              std::vector<std::string>{"Error: Invalid number of threads. Please, set a number between 1 and 200"});
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(field->text().toStdString(), typed);
    dialog->reject();
  }
  EXPECT_EQ(settings.NumThreads, 30);
  EXPECT_FALSE(fileWritten());

  for (const char* typed : {"1", "2x00"}) {
    auto* dialog = open<SpeedDialog>();
    auto* field = control<QLineEdit>(dialog, "Number of Threads (1 to 200)");
    field->selectAll();
    QTest::keyClicks(field, typed);  // only digits get in
    pressKey(dialog, Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
  }
  EXPECT_EQ(settings.NumThreads, 200);
  EXPECT_EQ(reloaded().NumThreads, 200);
}

TEST_F(SettingsDialogsTest, RequestTimeOutTakesZeroForNoneAndRefusesMoreThanAnHour) {
  auto* dialog = open<SpeedDialog>();
  auto* field = control<QLineEdit>(dialog, "Request Time-out in Seconds (0 = none)");
  EXPECT_EQ(field->text(), "30");
  field->setText("3601");
  MessageBoxAnswers answers;
  clickSave(dialog);
  EXPECT_EQ(answers.seen(), std::vector<std::string>{"Error: " + std::string(kInvalidTimeoutMessage)});
  EXPECT_TRUE(dialog->isVisible());
  field->setText("0");
  clickSave(dialog);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(settings.TimeoutSeconds, 0);
  EXPECT_EQ(reloaded().TimeoutSeconds, 0);
}

TEST_F(SettingsDialogsTest, PolitenessPerHostIsSavedToTheFileWithinItsRangesAndOffByDefault) {
  struct Field {
    const char* name;
    const char* tooMuch;
    std::string_view message;
    const char* typed;
  };
  const Field fields[] = {
      {"Requests at Once to One Host (0 to 200)", "201", kInvalidMaxPerHostMessage, "2"},
      {"Delay Between Requests in ms (0 to 60000)", "60001", kInvalidHostDelayMessage, "750"},
      {"Wait for Retry-After Up To Seconds (0 to 600)", "601", kInvalidRetryAfterLimitMessage, "120"},
  };
  auto* dialog = open<SpeedDialog>();
  for (const Field& field : fields) {
    SCOPED_TRACE(field.name);
    auto* edit = control<QLineEdit>(dialog, field.name);
    EXPECT_EQ(edit->text(), "0");
    edit->setText(field.tooMuch);
    MessageBoxAnswers answers;
    clickSave(dialog);
    EXPECT_EQ(answers.seen(), std::vector<std::string>{"Error: " + std::string(field.message)});
    EXPECT_TRUE(dialog->isVisible());
    edit->setText(field.typed);
  }
  EXPECT_FALSE(fileWritten());
  clickSave(dialog);
  EXPECT_FALSE(dialog->isVisible());
  const Settings stored = reloaded();
  EXPECT_EQ(stored.MaxPerHost, 2);
  EXPECT_EQ(stored.HostDelayMs, 750);
  EXPECT_EQ(stored.RetryAfterLimitSeconds, 120);
  EXPECT_EQ(settings.HostDelayMs, 750);

  auto* again = open<SpeedDialog>();
  EXPECT_EQ(control<QLineEdit>(again, fields[1].name)->text(), "750");
  again->reject();
}

TEST_F(SettingsDialogsTest, UserAgentEditsSurviveSwitchingPresetsUntilReturnDiscardsThem) {
  auto* dialog = open<UserAgentsDialog>();
  auto* presets = control<QComboBox>(dialog, "Preset Agents");
  auto* http = control<QLineEdit>(dialog, "HTTP Request User Agent");
  auto* robots = control<QLineEdit>(dialog, "Robots User Agent");
  EXPECT_EQ(presets->count(), 20);
  EXPECT_EQ(presets->currentText(), "Tallyvane");
  presets->setCurrentIndex(3);
  http->selectAll();
  QTest::keyClicks(http, "Edited agent");
  presets->setCurrentIndex(5);
  EXPECT_EQ(http->text().toStdString(), settings.userAgents[5].httpText);
  presets->setCurrentIndex(3);
  EXPECT_EQ(http->text(), "Edited agent");
  EXPECT_EQ(robots->text(), "GoogleBot");

  pressKey(dialog, Qt::Key_Return);  // acts as Cancel here
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(settings.userAgents[3].httpText, defaultUserAgentPresets()[3].httpText);
  EXPECT_EQ(settings.UserAgent, 1);
  EXPECT_FALSE(fileWritten());
}

TEST_F(SettingsDialogsTest, SavingUserAgentsMakesTheSelectedPresetTheOneRequestsSend) {
  auto* dialog = open<UserAgentsDialog>();
  auto* presets = control<QComboBox>(dialog, "Preset Agents");
  auto* robots = control<QLineEdit>(dialog, "Robots User Agent");
  presets->setCurrentIndex(0);
  robots->end(false);
  QTest::keyClicks(robots, "Bot");
  presets->setCurrentText("Chrome");
  clickSave(dialog);

  EXPECT_EQ(settings.UserAgent, 11);
  EXPECT_EQ(settings.requestUserAgent, defaultUserAgentPresets()[11].httpText);
  EXPECT_EQ(settings.userAgents[0].robotsToken, "CustomBot");
  const Settings stored = reloaded();
  EXPECT_EQ(stored.UserAgent, 11);
  EXPECT_EQ(stored.userAgents[0].robotsToken, "CustomBot");
}

TEST_F(SettingsDialogsTest, MultiLineTextsAreStoredAsTypedWithOnlyTheirEndsTrimmed) {
  auto* headGet = open<HeadGetDialog>();
  control<QRadioButton>(headGet, "Use GET Requests Only For The Following Domains")->click();
  control<QPlainTextEdit>(headGet, "Enter one domain per line")
      ->setPlainText("  a.example\n\n; staging\nb.example  \n\n");
  clickSave(headGet);
  EXPECT_EQ(settings.HeaderRequestMethod, MethodChoice::GetForListedHosts);
  EXPECT_EQ(settings.GETDomains, "a.example\r\n\r\n; staging\r\nb.example  \r\n\r\n");

  auto* cookies = open<CookiesHeadersDialog>();
  auto* allow = control<QCheckBox>(cookies, "Allow Cookies");
  EXPECT_FALSE(allow->isChecked());
  allow->click();
  control<QCheckBox>(cookies, "Add Custom Headers To Every Request")->click();
  control<QPlainTextEdit>(cookies, "Custom Headers")->setPlainText(" X-Audit: 1\nX-Team: seo \n\n");
  clickSave(cookies);
  EXPECT_EQ(settings.CookiesDisabled, CookiesChoice::Enabled);
  EXPECT_EQ(settings.UseCustomHeaders, 1);
  EXPECT_EQ(settings.CustomHeaders, "X-Audit: 1\r\nX-Team: seo ");

  cookies = open<CookiesHeadersDialog>();
  EXPECT_EQ(control<QPlainTextEdit>(cookies, "Custom Headers")->toPlainText(), "X-Audit: 1\nX-Team: seo ");
  control<QCheckBox>(cookies, "Allow Cookies")->click();
  clickSave(cookies);
  EXPECT_EQ(settings.CookiesDisabled, CookiesChoice::Disabled);

  const Settings stored = reloaded();
  EXPECT_EQ(stored.GETDomains, "a.example\r\n\r\n; staging\r\nb.example  ");  // loading drops trailing breaks
  EXPECT_EQ(stored.CustomHeaders, "X-Audit: 1\r\nX-Team: seo");               // trailing blanks of a stored value go
}

TEST_F(SettingsDialogsTest, ProxyValuesAreKeptExactlyAsTypedAndHelpLeavesTheEditsInPlace) {
  auto* dialog = open<ProxyDialog>();
  auto* password = control<QLineEdit>(dialog, "Password");
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  control<QCheckBox>(dialog, "Use Proxy Settings")->click();
  QTest::keyClicks(control<QLineEdit>(dialog, "Address"), " proxy.example ");
  QTest::keyClicks(control<QLineEdit>(dialog, "Port"), "80 80");
  QTest::keyClicks(control<QLineEdit>(dialog, "User"), " me");
  password->insert(QString::fromUtf8("sécret "));

  OpenedPages pages;
  pressKey(dialog, Qt::Key_F1);
  EXPECT_EQ(pages.pages(), std::vector<std::string>{"https://help.tallyvane.example/proxy"});
  EXPECT_EQ(control<QLineEdit>(dialog, "Address")->text(), " proxy.example ");
  pressKey(dialog, Qt::Key_Return);

  EXPECT_EQ(settings.UseProxy, 1);
  EXPECT_EQ(settings.Addr, " proxy.example ");
  EXPECT_EQ(settings.Port, "80 80");
  EXPECT_EQ(settings.User, " me");
  EXPECT_EQ(settings.Password, "sécret ");
  EXPECT_EQ(ScratchFolder::read(folder / "settings.prefs").find("sécret"), std::string::npos);
  EXPECT_EQ(reloaded().Password, "sécret ");
}

TEST_F(SettingsDialogsTest, RewriteRulesShowTheHelpCommentUntilRulesAreSet) {
  auto* dialog = open<RewriteRulesDialog>();
  auto* rules = control<QPlainTextEdit>(dialog, "Rewrite Rules");
  EXPECT_EQ(rules->toPlainText().split('\n').size(), 11);
  clickSave(dialog);
  EXPECT_EQ(settings.Rules, rewriteRulesHelpComment());
  EXPECT_TRUE(RewriteRules::parse(settings.Rules).empty());  // all comments
  EXPECT_EQ(settings.RewriteURLs, 0);

  dialog = open<RewriteRulesDialog>();
  control<QCheckBox>(dialog, "Rewrite URLs Before Checking Them")->click();
  control<QPlainTextEdit>(dialog, "Rewrite Rules")->setPlainText("www.a.example a.example\n; later\n");
  clickSave(dialog);
  EXPECT_EQ(settings.RewriteURLs, 1);
  EXPECT_EQ(settings.Rules, "www.a.example a.example\r\n; later\r\n");
  EXPECT_EQ(RewriteRules::parse(settings.Rules).apply("http://www.a.example/x"), "http://a.example/x");
  EXPECT_EQ(reloaded().Rules, "www.a.example a.example\r\n; later\r\n");
}

TEST_F(SettingsDialogsTest, AFileThatCannotBeWrittenIsReportedAndTheNewValuesStayInForce) {
  fs::create_directory(folder / "settings.prefs");  // a folder where the file should be
  auto* dialog = open<UrlCheckingOptionsDialog>();
  control<QCheckBox>(dialog, "Check All Links Found in HTTP Headers")->click();
  MessageBoxAnswers answers;
  clickSave(dialog);
  ASSERT_EQ(answers.seen().size(), 1u);
  EXPECT_EQ(answers.seen()[0].rfind("Error: Cannot ", 0), 0u) << answers.seen()[0];
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(settings.CheckLinksInHeaders, 1);
}

}  // namespace
}  // namespace tallyvane::ui
