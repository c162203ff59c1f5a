// "TLS and Hosts": a staging server's authority and a host override, kept in the settings file and
// used by the window's crawls as the command line's --ca-bundle and --resolve are.

#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "results/ResultColumns.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/ResultTableModel.h"
#include "ui/TlsHostsDialog.h"

namespace tallyvane::ui::testing {
namespace {

TEST_F(MainWindowTest, TlsAndHostsAreCheckedKeptAndUsedByEveryCrawlOfTheWindow) {
  static const demo::TlsIdentity identity = demo::makeTlsIdentity({"shop.example"});
  demo::ScriptedHttpServer staging;
  staging.enableTls(identity);
  staging.route("/", [](const demo::ReceivedRequest& r) { return demo::reply(r, "HTTP/1.1 200 OK"); });
  const std::string port = std::to_string(staging.port());
  const auto ca = scratch.write("ca.pem", identity.authorityPem);
  const std::string url = "https://shop.example:" + port + "/";

  // Before: the name does not resolve to the server, and its authority is not trusted.
  QGuiApplication::clipboard()->setText(QString::fromStdString(url + "\n"));
  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());
  EXPECT_EQ(window().resultModel()->index(0, kStatusCodeColumn).data().toString(), "");

  std::vector<std::string> seen;
  whenModalOpens<TlsHostsDialog>([&](TlsHostsDialog* dialog) {
    if (seen.empty()) {
      dialog->caBundleField()->setText(QString::fromStdString((scratch / "none.pem").string()));
      dialog->hostsField()->setPlainText(QString::fromStdString("shop.example:" + port + ":127.0.0.1"));
      dialog->saveButton()->click();
      seen = takeMessages(*dialog);
      EXPECT_TRUE(dialog->isVisible());  // refused: the dialog stays for a correction
      dialog->caBundleField()->setText(QString::fromStdString(ca.string()));
      dialog->saveButton()->click();
    }
  });
  window().menus().tlsAndHosts->trigger();
  ASSERT_TRUE(waitUntil([&] { return settings.CABundle == ca.string(); }));
  ASSERT_FALSE(seen.empty());
  EXPECT_NE(seen.front().find("Cannot read the certificate authorities file: "), std::string::npos) << seen.front();

  Settings stored;
  ASSERT_FALSE(loadSettings(stored, settingsLocationOf(scratch / "settings.prefs"), 1920));
  EXPECT_EQ(stored.CABundle, ca.string());
  EXPECT_EQ(stored.ResolveHosts, "shop.example:" + port + ":127.0.0.1");

  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());
  EXPECT_EQ(window().resultModel()->index(0, kStatusCodeColumn).data().toString(), "200");
  ASSERT_FALSE(staging.requests().empty());
  EXPECT_EQ(staging.requests().back().header("Host"), "shop.example:" + port);
}

}  // namespace
}  // namespace tallyvane::ui::testing
