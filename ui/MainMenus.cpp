#include "ui/MainMenus.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>

namespace tallyvane::ui {

MainMenus::MainMenus(QMainWindow& window) {
  QMenuBar* bar = window.menuBar();
  bar->setAccessibleName("Menu Bar");
  auto item = [this](QMenu* menu, const char* text, bool disabledWhileBusy = true) {
    QAction* action = menu->addAction(text);
    if (disabledWhileBusy) busyDisabled_.push_back(action);
    return action;
  };

  // The "&" marks each menu's Alt key and, inside an open menu, the key of each item.
  checkMenu = bar->addMenu("&Check URLs");
  checkFile = item(checkMenu, "Check URLs... (&From File)");
  checkManual = item(checkMenu, "Check URLs... (&Enter Manually)");
  checkClipboard = item(checkMenu, "Check URLs... (&Paste from ClipBoard)");
  checkLowMemory = item(checkMenu, "Check &Huge URL List (Low Memory Mode)");
  checkMenu->addSeparator();
  loadResults = item(checkMenu, "&Load Results");
  loadResults->setShortcut(QKeySequence::Open);
  saveResults = item(checkMenu, "&Save Results");
  saveResults->setShortcut(QKeySequence::Save);
  checkMenu->addSeparator();
  exit = item(checkMenu, "E&xit", false);
  exit->setMenuRole(QAction::QuitRole);
  exit->setShortcut(QKeySequence::Quit);

  QMenu* testMenu = bar->addMenu("&Test URLs");
  canonicalTest = item(testMenu, "Test &Canonical URL Redirects (https/www/HSTS)");
  mappingTest = item(testMenu, "Test URL &Mapping Redirects");

  QMenu* configurationMenu = bar->addMenu("C&onfiguration");
  urlChecking = item(configurationMenu, "URL &Checking");
  urlRewriting = item(configurationMenu, "URL &Rewriting");
  userAgents = item(configurationMenu, "&User Agents");
  speed = item(configurationMenu, "&Speed");
  headGet = item(configurationMenu, "&HEAD/GET Method Config");
  cookiesAndHeaders = item(configurationMenu, "C&ookies && Custom Headers");  // "&&" shows one "&"
  proxy = item(configurationMenu, "&Proxy Settings");
  tlsAndHosts = item(configurationMenu, "&TLS and Hosts");

  QMenu* exportMenu = bar->addMenu("CSV &Exports");
  for (const char* text : {"&Standard Report", "&Redirect Details", "&Link Headers", "R&aw Headers"}) {
    reports.push_back(item(exportMenu, text));
  }
  exportMenu->addSeparator();
  htmlSummary = item(exportMenu, "&HTML Summary Report\u2026");

  QMenu* helpMenu = bar->addMenu("&Help");
  userGuide = item(helpMenu, "&User Guide", false);
  userGuide->setShortcut(QKeySequence::HelpContents);
  helpMenu->addSeparator();
  about = item(helpMenu, "&About");
  about->setMenuRole(QAction::AboutRole);
}

void MainMenus::setBusy(bool busy) {
  for (QAction* action : busyDisabled_) action->setEnabled(!busy);
}

std::vector<std::pair<QAction*, DialogId>> MainMenus::dialogActions() const {
  return {{checkFile, DialogId::CheckFile},           {checkManual, DialogId::ManualEntry},
          {checkLowMemory, DialogId::LowMemory},      {canonicalTest, DialogId::CanonicalTest},
          {mappingTest, DialogId::MappingTest},       {urlChecking, DialogId::UrlChecking},
          {urlRewriting, DialogId::UrlRewriting},     {userAgents, DialogId::UserAgents},
          {speed, DialogId::Speed},                   {headGet, DialogId::HeadGetMethod},
          {cookiesAndHeaders, DialogId::CookiesAndHeaders}, {proxy, DialogId::Proxy},
          {tlsAndHosts, DialogId::TlsAndHosts},
          {about, DialogId::About}};
}

}  // namespace tallyvane::ui
