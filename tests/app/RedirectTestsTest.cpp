// Both redirect tests end to end: a crawl started through the dialogs' entry points, against
// the scripted server answering http and https on one port under *.localhost names.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "app/CrawlSession.h"
#include "demo/ScriptedHttpServer.h"
#include "tests/support/CurlEnvironment.h"
#include "tests/support/RecordingInterface.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace {

const TlsIdentity& identity() {
  static const TlsIdentity made = makeTlsIdentity(
      {"localhost", "site.localhost", "www.site.localhost", "shop.site.localhost", "old.localhost", "new.localhost"});
  return made;
}

class RedirectTestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.enableTls(identity());
    caFile = folder.write("ca.pem", identity().authorityPem);
    // Answers by scheme, host and path; anything unscripted is a 404.
    server.fallback([this](const ReceivedRequest& r) {
      const std::string host = r.header("Host").substr(0, r.header("Host").find(':'));
      const auto found = pages.find((r.tls ? "https://" : "http://") + host + r.path());
      if (found == pages.end()) return reply(r, "HTTP/1.1 404 Not Found");
      return found->second(r);
    });
  }

  // scheme://host (no port) + path
  std::string at(std::string_view schemeAndHost, std::string_view path) const {
    return std::string(schemeAndHost) + ":" + std::to_string(server.port()) + std::string(path);
  }
  void page(const std::string& schemeAndHost, const std::string& path, std::vector<std::string> headers = {}) {
    pages[schemeAndHost + path] = [headers](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK", headers); };
  }
  void moved(const std::string& schemeAndHost, const std::string& path, int code, std::string location,
             std::vector<std::string> headers = {}) {
    headers.push_back("Location: " + location);
    pages[schemeAndHost + path] = [code, headers](const ReceivedRequest& r) {
      return reply(r, "HTTP/1.1 " + std::to_string(code) + " Moved", headers);
    };
  }

  void run(const SetupCheck& check) {
    ASSERT_FALSE(check.message) << check.message->text;
    settings.NumThreads = 3;
    ConnectionOptions connection;
    connection.caBundle = caFile.string();
    session.startCrawl(settings, check.setup, {}, connection);
    session.waitForCrawl();
    ASSERT_EQ(session.crawl().end(), CrawlEnd::Finished) << (ui.messages().empty() ? "" : ui.messages().back());
  }

  // URL -> "PASS" or "FAIL" + reasons, as the standard report writes it.
  std::map<std::string, std::string> verdicts() const {
    std::map<std::string, std::string> all;
    for (int64_t i = 0; i < store.count(); ++i) {
      const ResultRecord& record = *store.recordAtIndex(i);
      all[record.first().url] = record.testPassed ? "PASS" : "FAIL" + std::string(textOf(record.testReason));
    }
    return all;
  }

  ScratchFolder folder;
  ScriptedHttpServer server;
  std::filesystem::path caFile;
  std::map<std::string, Route> pages;
  Settings settings;
  RecordingInterface ui;
  CrawlSession session{ui, &httpLibrary(), 2000};
  const ResultStore& store = session.store();
};

using Verdicts = std::map<std::string, std::string>;

TEST_F(RedirectTestsTest, CanonicalVariantsAreGeneratedOnceAndJudgedAgainstTheCanonicalForm) {
  page("https://site.localhost", "/p");
  moved("http://site.localhost", "/p", 301, at("https://site.localhost", "/p"));
  moved("https://www.site.localhost", "/p", 302, at("https://site.localhost", "/p"));
  moved("http://www.site.localhost", "/p", 301, at("http://site.localhost", "/p"));  // via a second variant
  page("https://www.site.localhost", "/ok");  // a variant that answers instead of redirecting
  moved("http://site.localhost", "/ok", 301, at("https://site.localhost", "/elsewhere"));
  moved("https://site.localhost", "/ok", 301, at("https://site.localhost", "/ok"));  // a loop
  moved("http://www.site.localhost", "/ok", 301, at("https://site.localhost", "/ok"));
  const auto list =
      folder.write("list.txt", at("http://site.localhost", "/p") + "\n" + at("https://www.site.localhost", "/p") +
                                   "\n" + at("http://www.site.localhost", "/ok") + "\n" + at("http://localhost", "/x") +
                                   "\n" + at("http://shop.site.localhost", "/") + "\n");
  run(checkCanonicalTest(CanonicalForm::Https, list.string(), false, false, false));
  EXPECT_EQ(verdicts(),
            (Verdicts{
                {at("http://site.localhost", "/p"), "PASS"},
                {at("https://site.localhost", "/p"), "PASS"},
                {at("https://www.site.localhost", "/p"), "FAIL[non-301 redirect]"},
                {at("http://www.site.localhost", "/p"), "FAIL[redirect chain]"},
                {at("http://www.site.localhost", "/ok"), "FAIL[redirect loop]"},  // via the looping canonical
                {at("https://www.site.localhost", "/ok"), "FAIL[not redirected]"},
                {at("https://site.localhost", "/ok"), "FAIL[redirect loop]"},
                {at("http://site.localhost", "/ok"), "FAIL[bad final URL]"},
                {at("http://localhost", "/x"), "FAIL[skipped]"},                  // no dot: no variants
                {at("http://shop.site.localhost", "/"), "FAIL[not redirected]"},  // two dots: one variant
                {at("https://shop.site.localhost", "/"), "FAIL[non-200 status code]"},
            }));
  // Every form is requested once although the list names one of them again (four forms, four
  // redirect hops).
  EXPECT_EQ(server.requestCount("/p"), 8u);
}

TEST_F(RedirectTestsTest, CanonicalHeaderChecksGiveTheirReasonsInHopOrder) {
  const std::string https = "https://site.localhost";
  page(https, "/zero", {"Strict-Transport-Security: max-age=0"});
  page(https, "/quoted-zero", {"Strict-Transport-Security: includeSubDomains; Max-Age=\"00\""});
  page(https, "/blanks", {"Strict-Transport-Security: max-age = 300"});  // not a max-age directive: passes
  page(https, "/none");
  page(https, "/good",
       {"Strict-Transport-Security: max-age=31536000; includeSubDomains", "Set-Cookie: a=1; Secure; HttpOnly"});
  page(https, "/last-insecure",
       {"Strict-Transport-Security: max-age=1", "Set-Cookie: a=1; Secure", "Set-Cookie: b=2; HttpOnly"});
  page(https, "/last-secure", {"Strict-Transport-Security: max-age=1", "Set-Cookie: b=2", "Set-Cookie: a=1; secure"});
  // An http variant that sets a cookie and lands on the wrong page, which has no HSTS header.
  moved("http://site.localhost", "/cookie", 301, at(https, "/none"), {"Set-Cookie: t=1"});
  std::string list;
  for (const char* path : {"/zero", "/quoted-zero", "/blanks", "/none", "/good", "/last-insecure", "/last-secure"}) {
    list += at(https, path) + "\n";
  }
  list += at("http://site.localhost", "/cookie") + "\n";
  run(checkCanonicalTest(CanonicalForm::Https, folder.write("list.txt", list).string(), true, true, true));
  EXPECT_EQ(verdicts(),
            (Verdicts{
                {at(https, "/zero"), "FAIL[zero max-age HSTS]"},
                {at(https, "/quoted-zero"), "FAIL[zero max-age HSTS]"},
                {at(https, "/blanks"), "PASS"},
                {at(https, "/none"), "FAIL[no HSTS header]"},
                {at(https, "/good"), "PASS"},
                {at(https, "/last-insecure"), "FAIL[insecure cookie over https]"},
                {at(https, "/last-secure"), "PASS"},
                {at("http://site.localhost", "/cookie"), "FAIL[bad final URL],[cookie over http],[no HSTS header]"},
            }));
}

TEST_F(RedirectTestsTest, MappingTestGivesEveryReasonInItsOrder) {
  const std::string old = "https://old.localhost", fresh = "https://new.localhost";
  page(fresh, "/a");
  moved(old, "/moved", 301, at(fresh, "/a"));
  moved(old, "/temporary", 302, at(fresh, "/a"));
  page(old, "/stays");
  page(old, "/unmapped");
  moved(old, "/twice", 301, at(old, "/moved"));
  moved(old, "/to-missing", 301, at(fresh, "/missing"));
  moved(old, "/astray", 301, at(fresh, "/a?wrong"));
  pages[fresh + "/a?wrong"] = pages[fresh + "/a"];
  moved(old, "/loop", 301, at(old, "/loop"));
  moved("http://old.localhost", "/down", 301, "http://old.localhost:1/gone");  // the target cannot be reached
  moved("http://old.localhost", "/wild/one", 301, at(fresh, "/news/one"));
  page(fresh, "/news/one");
  const auto rules = folder.write("rules.txt", "; the migration\n" + at(old, "/moved") + " " + at(fresh, "/a") +
                                                   "\n/temporary /a\n/stays /a\n/twice /a\n/to-missing /missing\n"
                                                   "/astray /a\n/loop /a\n" +
                                                   "http://old.localhost/down " + at(fresh, "/up") + "\n" +
                                                   "http://old.localhost/wild/{} " + at(fresh, "/news/{1}") + "\n");
  std::string list;
  for (const char* path :
       {"/moved", "/temporary", "/stays", "/unmapped", "/twice", "/to-missing", "/astray", "/loop"}) {
    list += at(old, path) + "\n";
  }
  list += at("http://old.localhost", "/down") + "\n" + at("http://old.localhost", "/wild/one") + "\n" +
          "http://127.0.0.1:1/refused\n";
  run(checkMappingTest(folder.write("list.txt", list).string(), rules.string()));
  EXPECT_EQ(verdicts(), (Verdicts{
                            {at(old, "/moved"), "PASS"},
                            {at(old, "/temporary"), "FAIL[non-301 redirect]"},
                            {at(old, "/stays"), "FAIL[not redirected],[bad final url]"},
                            {at(old, "/unmapped"), "FAIL[not redirected],[no redirect rule]"},
                            {at(old, "/twice"), "FAIL[redirect chain]"},
                            {at(old, "/to-missing"), "FAIL[non-200 final url status]"},
                            {at(old, "/astray"), "FAIL[bad final url]"},
                            {at(old, "/loop"), "FAIL[redirect loop]"},
                            {at("http://old.localhost", "/down"), "FAIL[bad final url],[non-200 final url status]"},
                            {at("http://old.localhost", "/wild/one"), "PASS"},
                            {"http://127.0.0.1:1/refused", "FAIL[error]"},
                        }));
}

TEST_F(RedirectTestsTest, RewriteRulesFromTheSettingsApplyBeforeATest) {
  settings.RewriteURLs = 1;
  settings.Rules = "; staging\r\nold.localhost new.localhost\r\nnew.localhost never.localhost";
  page("https://new.localhost", "/a");
  const auto rules =
      folder.write("rules.txt", at("https://new.localhost", "/a") + " " + at("https://new.localhost", "/a"));
  run(checkMappingTest(folder.write("list.txt", at("https://old.localhost", "/a") + "\n").string(), rules.string()));
  EXPECT_EQ(verdicts(), (Verdicts{{at("https://new.localhost", "/a"), "FAIL[not redirected]"}}));
}

TEST_F(RedirectTestsTest, StartChecksFollowTheDialogsOrder) {
  const auto list = folder.write("list.txt", "http://a.localhost/\n");
  const auto rules = folder.write("rules.txt", "/a https://new.example/b\n");
  const auto text = [](const SetupCheck& check) { return check.message ? check.message->text : ""; };
  EXPECT_EQ(text(checkMappingTest(" ", rules.string())), "Please, enter an input file");
  EXPECT_EQ(text(checkMappingTest(list.string(), "  ")), "Please, enter a mapping rules file");
  EXPECT_EQ(text(checkMappingTest("/nowhere/list.txt", (folder / "none.txt").string())),
            "Cannot find mapping rules file!");
  // The rules are read before the input file is looked for; both failures close the dialog.
  const SetupCheck bad = checkMappingTest("/nowhere/list.txt", rules.string());
  EXPECT_EQ(text(bad), "Bad rule (rule with no from-url-domain AND no previous domain): /a https://new.example/b (line 1)");
  EXPECT_TRUE(bad.dialogCloses);
  const auto good = folder.write("good.txt", "https://old.example/a https://new.example/b\n");
  const SetupCheck missing = checkMappingTest(" /nowhere/list.txt ", good.string());
  EXPECT_EQ(text(missing), "Input file does not exist!");
  EXPECT_TRUE(missing.dialogCloses);

  EXPECT_EQ(text(checkCanonicalTest(std::nullopt, "", false, false, false)),
            "Please, select a canonical URL form to test for");
  EXPECT_EQ(text(checkCanonicalTest(CanonicalForm::Http, "", false, false, false)), "Please, enter an input file");
  EXPECT_EQ(text(checkCanonicalTest(CanonicalForm::Http, "/nowhere", false, false, false)),
            "Input file does not exist!");
  EXPECT_FALSE(checkCanonicalTest(CanonicalForm::Http, list.string(), false, false, false).dialogCloses);
}

}  // namespace
}  // namespace tallyvane::testing
