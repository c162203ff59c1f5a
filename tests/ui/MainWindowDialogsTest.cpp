#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QPointer>
#include <QPushButton>
#include <string>
#include <vector>

#include "tests/ui/DialogDriver.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/ModalDialog.h"
#include "ui/UserAgentsDialog.h"

namespace tallyvane::ui::testing {
namespace {

TEST_F(MainWindowTest, ConfigurationItemsAndAboutOpenTheirDialogsModalOverTheWindow) {
  MainMenus& menus = window().menus();
  const std::vector<std::pair<QAction*, const char*>> items = {
      {menus.urlChecking, "URL Checking Options"},
      {menus.urlRewriting, "Rewrite Rules Configuration"},
      {menus.userAgents, "User Agents"},
      {menus.speed, "URL Checking Speed"},
      {menus.headGet, "HEAD/GET Method Configuration"},
      {menus.cookiesAndHeaders, "Cookies & Custom Headers"},
      {menus.proxy, "Proxy Settings"},
      {menus.about, "About..."},
  };
  for (const auto& [item, title] : items) {
    SCOPED_TRACE(title);
    item->trigger();
    QPointer<ModalDialog> dialog = qobject_cast<ModalDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), title);
    EXPECT_EQ(dialog->parentWidget(), &window());
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));  // closed and deleted
  }
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindowTest, TheUserAgentSavedInTheDialogIsTheOneTheNextRequestsCarry) {
  window().menus().userAgents->trigger();
  auto* dialog = qobject_cast<UserAgentsDialog*>(QApplication::activeModalWidget());
  ASSERT_TRUE(dialog);
  dialog->findChild<QComboBox*>()->setCurrentText("Chrome");
  dialog->saveButton()->click();

  QGuiApplication::clipboard()->setText(lines({"/page"}));
  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].header("User-Agent"), defaultUserAgentPresets()[11].httpText);
}

}  // namespace
}  // namespace tallyvane::ui::testing
