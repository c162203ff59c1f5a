#pragma once
// The main window's menu bar, in the order and with the texts users know, and its busy state.

#include <vector>

class QAction;
class QMainWindow;
class QMenu;

namespace tallyvane::ui {

// The windows opened from the menus.
enum class DialogId {
  CheckFile,
  ManualEntry,
  LowMemory,
  CanonicalTest,
  MappingTest,
  UrlChecking,
  UrlRewriting,
  UserAgents,
  Speed,
  HeadGetMethod,
  CookiesAndHeaders,
  Proxy,
  TlsAndHosts,
  About,
};

struct MainMenus {
  // Builds the menu bar of window; the actions belong to it.
  explicit MainMenus(QMainWindow& window);

  // Every item but "Exit" and "User Guide" is disabled while busy ("About" too).
  void setBusy(bool busy);

  QMenu* checkMenu;
  QAction* checkFile;
  QAction* checkManual;
  QAction* checkClipboard;
  QAction* checkLowMemory;
  QAction* loadResults;
  QAction* saveResults;
  QAction* exit;
  QAction* canonicalTest;
  QAction* mappingTest;
  QAction* urlChecking;
  QAction* urlRewriting;
  QAction* userAgents;
  QAction* speed;
  QAction* headGet;
  QAction* cookiesAndHeaders;
  QAction* proxy;
  QAction* tlsAndHosts;
  std::vector<QAction*> reports;  // report kinds 0 to 3
  QAction* htmlSummary;
  QAction* userGuide;
  QAction* about;

  // The action that opens each dialog.
  std::vector<std::pair<QAction*, DialogId>> dialogActions() const;

 private:
  std::vector<QAction*> busyDisabled_;
};

}  // namespace tallyvane::ui
