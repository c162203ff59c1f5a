#include "config/SettingsFile.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>


#include <filesystem>
#include <string>

#include "config/PasswordCipher.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane {
namespace {

using testing::ScratchFolder;
namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
 protected:
  SettingsLocation location() const { return {folder.path(), folder / "settings.prefs"}; }
  std::optional<Message> load() { return loadSettings(settings, location(), 1920); }
  void writeFile(const std::string& bytes) { folder.write("settings.prefs", bytes); }
  std::string fileBytes() const { return ScratchFolder::read(folder / "settings.prefs"); }

  ScratchFolder folder;
  Settings settings;
};

std::string defaultFile() {
  std::string file =
      "\xEF\xBB\xBF\n"
      "[Proxy]\n"
      "UseProxy = 0\n"
      "Addr = \n"
      "Port = \n"
      "User = \n"
      "Password = " + encipherPassword("") + "\n"
      "[Display]\n"
      "mgcw0 = 60,1000\n"
      "mgcw1 = 490,120,95,140,90,115,150,150,300,120,120\n"
      "mgcw2 = 100,490,120,95,140,90,115,150,150,300,120,120\n"
      "sgcw = 490,120,95,140,90,115,150,150,420,120\n"
      "sglcw = 700,150,150\n"
      "WindowGeometry = \n"
      "WindowMaximized = 0\n"
      "SplitterPosition = 0\n"
      "[RewriteRules]\n"
      "Rules = \n"
      "RewriteURLs = 0\n"
      "[HEADGET]\n"
      "GETDomains = \n"
      "HeaderRequestMethod = 0\n"
      "FallbackToGET = 0\n"
      "[Requests]\n"
      "CustomHeaders = \n"
      "CookiesDisabled = 1\n"
      "UseCustomHeaders = 0\n"
      "TimeoutSeconds = 30\n"
      "RetryAfterLimitSeconds = 0\n"
      "[TLS]\n"
      "CABundle = \n"
      "ResolveHosts = \n"
      "[Threads]\n"
      "NumThreads = 30\n"
      "MaxPerHost = 0\n"
      "HostDelayMs = 0\n"
      "[URLChecking]\n"
      "CheckLinksInHeaders = 0\n"
      "[UserAgents]\n"
      "UserAgent = 1\n";
  const auto presets = defaultUserAgentPresets();
  for (size_t i = 0; i < presets.size(); ++i) {
    file += "ua" + std::to_string(i) + " = " + presets[i].name + "#CRLF$" + presets[i].httpText + "#CRLF$" +
            presets[i].robotsToken + "\n";
  }
  return file;
}

TEST_F(SettingsFileTest, FirstRunCreatesFolderAndFileWithEveryDefault) {
  const SettingsLocation fresh{folder / "config/Tallyvane", folder / "config/Tallyvane/settings.prefs"};
  EXPECT_FALSE(loadSettings(settings, fresh, 1920));
  EXPECT_EQ(ScratchFolder::read(fresh.file), defaultFile());
  struct stat info {};
  ASSERT_EQ(::stat(fresh.folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(settings.NumThreads, 30);
  EXPECT_EQ(settings.CookiesDisabled, CookiesChoice::Disabled);
  EXPECT_EQ(settings.UserAgent, 1);
  EXPECT_EQ(settings.requestUserAgent, "Tallyvane");
}

TEST_F(SettingsFileTest, EveryKeyRoundTrips) {
  settings = defaultSettings(1920);
  settings.UseProxy = 1;
  settings.Addr = "proxy.example";
  settings.Port = "3128";
  settings.User = "j\xC3\xB6rg";
  settings.Password = "s3cr\xC3\xABt";
  settings.recentInputFiles = {"/lists/a.txt", "/lists/b.csv"};
  settings.recentMappingFiles = {"/maps/m.txt"};
  settings.columnWidths[kMainListMode1][0] = 777;
  settings.columnWidths[kLinksList] = {1, 2, 3};
  settings.Rules = "one\r\ntwo";
  settings.RewriteURLs = 1;
  settings.GETDomains = "a.example ; shop\r\nb.example";
  settings.HeaderRequestMethod = MethodChoice::GetForListedHosts;
  settings.CustomHeaders = "X-One: 1\r\nX-Two: 2";
  settings.CookiesDisabled = CookiesChoice::Enabled;
  settings.UseCustomHeaders = 1;
  settings.NumThreads = 200;
  settings.CheckLinksInHeaders = 1;
  settings.UserAgent = 11;
  settings.userAgents[0] = {"Custom", "My Agent/1.0", "MyBot"};
  ASSERT_FALSE(saveSettings(settings, location()));

  Settings loaded;
  ASSERT_FALSE(loadSettings(loaded, location(), 1920));
  EXPECT_EQ(loaded.UseProxy, 1);
  EXPECT_EQ(loaded.Addr, "proxy.example");
  EXPECT_EQ(loaded.Port, "3128");
  EXPECT_EQ(loaded.User, "j\xC3\xB6rg");
  EXPECT_EQ(loaded.Password, "s3cr\xC3\xABt");
  EXPECT_EQ(loaded.recentInputFiles, settings.recentInputFiles);
  EXPECT_EQ(loaded.recentMappingFiles, settings.recentMappingFiles);
  EXPECT_EQ(loaded.columnWidths, settings.columnWidths);
  EXPECT_EQ(loaded.Rules, "one\r\ntwo");
  EXPECT_EQ(loaded.RewriteURLs, 1);
  EXPECT_EQ(loaded.GETDomains, settings.GETDomains);
  EXPECT_EQ(loaded.HeaderRequestMethod, MethodChoice::GetForListedHosts);
  EXPECT_EQ(loaded.CustomHeaders, settings.CustomHeaders);
  EXPECT_EQ(loaded.CookiesDisabled, CookiesChoice::Enabled);
  EXPECT_EQ(loaded.UseCustomHeaders, 1);
  EXPECT_EQ(loaded.NumThreads, 200);
  EXPECT_EQ(loaded.CheckLinksInHeaders, 1);
  EXPECT_EQ(loaded.UserAgent, 11);
  EXPECT_EQ(loaded.userAgents[0].httpText, "My Agent/1.0");
  EXPECT_EQ(loaded.userAgents[0].robotsToken, "MyBot");
  EXPECT_EQ(loaded.userAgents[5].httpText, settings.userAgents[5].httpText);
  // The selected preset is the one requests carry from the start.
  EXPECT_EQ(loaded.requestUserAgent, settings.userAgents[11].httpText);
}

TEST_F(SettingsFileTest, OutOfRangeValuesAreReplaced) {
  struct Case {
    const char* line;
    int64_t threads, method, agent;
  };
  for (const Case& c : {Case{"[Threads]\nNumThreads = 0\n", 30, 0, 1}, Case{"[Threads]\nNumThreads = 201\n", 30, 0, 1},
                        Case{"[Threads]\nNumThreads = -5\n", 30, 0, 1}, Case{"[Threads]\nNumThreads = 1\n", 1, 0, 1},
                        Case{"[HEADGET]\nHeaderRequestMethod = 3\n", 30, 0, 1},
                        Case{"[HEADGET]\nHeaderRequestMethod = 2\n", 30, 2, 1},
                        Case{"[UserAgents]\nUserAgent = 20\n", 30, 0, 1}, Case{"[UserAgents]\nUserAgent = -1\n", 30, 0, 1},
                        Case{"[UserAgents]\nUserAgent = 19\n", 30, 0, 19}}) {
    writeFile(c.line);
    ASSERT_FALSE(load());
    EXPECT_EQ(settings.NumThreads, c.threads) << c.line;
    EXPECT_EQ(static_cast<int64_t>(settings.HeaderRequestMethod), c.method) << c.line;
    EXPECT_EQ(settings.UserAgent, c.agent) << c.line;
  }
}

TEST_F(SettingsFileTest, CookiesAreAllowedOrNotAndAnythingElseLoadsAsNot) {
  for (const auto& [line, cookies] : {std::pair{"CookiesDisabled = 0\n", CookiesChoice::Enabled},
                                      std::pair{"CookiesDisabled = 1\n", CookiesChoice::Disabled},
                                      std::pair{"CookiesDisabled = 7\n", CookiesChoice::Disabled},
                                      std::pair{"CookiesDisabled = -1\n", CookiesChoice::Disabled}}) {
    writeFile(std::string("[Requests]\n") + line);
    ASSERT_FALSE(load());
    EXPECT_EQ(settings.CookiesDisabled, cookies) << line;
  }
}

TEST_F(SettingsFileTest, TimeoutOutsideItsRangeLoadsAsTheDefault) {
  for (const auto& [line, seconds] : {std::pair{"TimeoutSeconds = 0\n", 0}, std::pair{"TimeoutSeconds = 3600\n", 3600},
                                      std::pair{"TimeoutSeconds = -1\n", 30}, std::pair{"TimeoutSeconds = 3601\n", 30}}) {
    writeFile(std::string("[Requests]\n") + line);
    ASSERT_FALSE(load());
    EXPECT_EQ(settings.TimeoutSeconds, seconds) << line;
  }
}

TEST_F(SettingsFileTest, HostPolitenessKeysOutsideTheirRangesLoadAsOff) {
  struct Case {
    const char* file;
    int64_t maxPerHost, delayMs, retryAfterLimit;
  };
  for (const Case& c : {Case{"[Threads]\nMaxPerHost = 200\nHostDelayMs = 60000\n[Requests]\nRetryAfterLimitSeconds = 600\n",
                             200, 60000, 600},
                        Case{"[Threads]\nMaxPerHost = 201\nHostDelayMs = 60001\n[Requests]\nRetryAfterLimitSeconds = 601\n",
                             0, 0, 0},
                        Case{"[Threads]\nMaxPerHost = -1\nHostDelayMs = -5\n[Requests]\nRetryAfterLimitSeconds = -1\n", 0,
                             0, 0},
                        Case{"[Threads]\nMaxPerHost = 4\n", 4, 0, 0}}) {
    writeFile(c.file);
    ASSERT_FALSE(load());
    EXPECT_EQ(settings.MaxPerHost, c.maxPerHost) << c.file;
    EXPECT_EQ(settings.HostDelayMs, c.delayMs) << c.file;
    EXPECT_EQ(settings.RetryAfterLimitSeconds, c.retryAfterLimit) << c.file;
  }
}

TEST_F(SettingsFileTest, RecentListStopsAtTheFirstEmptyEntry) {
  writeFile("[Recent]\nr1 = /a.txt\nr2 = /b.txt\nr3 =\nr4 = /d.txt\nrm1 = /m.txt\n");
  ASSERT_FALSE(load());
  EXPECT_EQ(settings.recentInputFiles, (std::vector<std::string>{"/a.txt", "/b.txt"}));
  EXPECT_EQ(settings.recentMappingFiles, (std::vector<std::string>{"/m.txt"}));
}

TEST_F(SettingsFileTest, PartialColumnWidthsChangeOnlyTheirColumns) {
  writeFile("[Display]\nmgcw1 = 500,,word\nsglcw = 0,20,30,40,50\n");
  ASSERT_FALSE(load());
  const auto defaults = defaultColumnWidths(1920);
  auto expected = defaults[kMainListMode1];
  expected[0] = 500;
  expected[2] = 100;  // not a number reads as 0, and 0 becomes 100
  EXPECT_EQ(settings.columnWidths[kMainListMode1], expected);
  EXPECT_EQ(settings.columnWidths[kLinksList], (std::vector<int64_t>{100, 20, 30}));
  EXPECT_EQ(settings.columnWidths[kResponsesList], defaults[kResponsesList]);
}

TEST_F(SettingsFileTest, DefaultWidthsScaleWithTheDesktop) {
  const auto wide = defaultColumnWidths(2550);  // (2550 - 30) / 1890
  EXPECT_EQ(wide[kMainListMode0], (std::vector<int64_t>{60, 1000}));
  EXPECT_EQ(wide[kMainListMode1][0], 653);
  EXPECT_EQ(wide[kLinksList], (std::vector<int64_t>{933, 200, 200}));
  EXPECT_EQ(defaultColumnWidths(1024)[kMainListMode2][0], 53);
}

TEST_F(SettingsFileTest, HandEditedEntriesSurviveASave) {
  writeFile(
      "\xEF\xBB\xBF\n"
      "; kept by hand\n"
      "[Notes]\n"
      "owner = SEO team\n"
      "[Threads]\n"
      "NumThreads = 50\n"
      "Comment = fifty\n");
  ASSERT_FALSE(load());
  settings.NumThreads = 60;
  ASSERT_FALSE(saveSettings(settings, location()));
  const std::string saved = fileBytes();
  EXPECT_TRUE(saved.starts_with("\xEF\xBB\xBF\n; kept by hand\n[Notes]\nowner = SEO team\n[Threads]\nNumThreads = 60\n"
                                "Comment = fifty\nMaxPerHost = 0\nHostDelayMs = 0\n[Proxy]\n"))
      << saved;
}

TEST_F(SettingsFileTest, LineBreaksAreStoredAsMarksAndRestored) {
  settings = defaultSettings(1920);
  settings.Rules = "first\r\nsecond";
  settings.GETDomains = "a.example\r\nb.example\r\n\r\n";
  settings.CustomHeaders = "X-A: 1\nX-B: 2";  // a lone LF must not end the line in the file
  ASSERT_FALSE(saveSettings(settings, location()));
  const std::string saved = fileBytes();
  EXPECT_NE(saved.find("\nRules = first#CRLF$second\n"), std::string::npos);
  EXPECT_NE(saved.find("\nGETDomains = a.example#CRLF$b.example#CRLF$#CRLF$\n"), std::string::npos);
  EXPECT_NE(saved.find("\nCustomHeaders = X-A: 1#CRLF$X-B: 2\n"), std::string::npos);
  ASSERT_FALSE(load());
  EXPECT_EQ(settings.Rules, "first\r\nsecond");
  EXPECT_EQ(settings.GETDomains, "a.example\r\nb.example");  // trailing line breaks removed
  EXPECT_EQ(settings.CustomHeaders, "X-A: 1\r\nX-B: 2");
}

TEST_F(SettingsFileTest, PresetValuesSplitAtTheirMarks) {
  writeFile("[UserAgents]\nUserAgent = 5\nua5 = Just a name\nua6 = Name#CRLF$Agent/1\n");
  ASSERT_FALSE(load());
  EXPECT_EQ(settings.userAgents[5].name, "Just a name");
  EXPECT_EQ(settings.userAgents[5].httpText, "");
  EXPECT_EQ(settings.userAgents[5].robotsToken, "");
  EXPECT_EQ(settings.userAgents[6].httpText, "Agent/1");
  EXPECT_EQ(settings.userAgents[6].robotsToken, "");
}

TEST_F(SettingsFileTest, AbsentKeysKeepTheirDefaults) {
  // A hand-written file with one group: requests must still carry the default user agent.
  writeFile("[Threads]\nNumThreads = 5\n");
  ASSERT_FALSE(load());
  EXPECT_EQ(settings.NumThreads, 5);
  EXPECT_EQ(settings.UserAgent, kDefaultUserAgentPreset);
  EXPECT_EQ(storedFormOf(settings.userAgents[11]), storedFormOf(defaultUserAgentPresets()[11]));
  EXPECT_EQ(settings.requestUserAgent, "Tallyvane");
  EXPECT_EQ(settings.CookiesDisabled, CookiesChoice::Disabled);
  // A key that is there, if empty, is taken as written.
  writeFile("[UserAgents]\nua1 =\n");
  ASSERT_FALSE(load());
  EXPECT_EQ(settings.requestUserAgent, "");
}

TEST_F(SettingsFileTest, TrailingSpaceOfAPresetTokenIsLostOnReading) {
  ASSERT_FALSE(load());  // creates the file
  EXPECT_EQ(settings.userAgents[16].robotsToken, "Googlebot-Mobile ");
  ASSERT_FALSE(load());
  EXPECT_EQ(settings.userAgents[16].robotsToken, "Googlebot-Mobile");
}

TEST_F(SettingsFileTest, PasswordIsStoredEncipheredAndForeignValuesReadAsText) {
  settings = defaultSettings(1920);
  settings.Password = "hunter2";
  ASSERT_FALSE(saveSettings(settings, location()));
  EXPECT_EQ(fileBytes().find("hunter2"), std::string::npos);
  writeFile("[Proxy]\nPassword = 00112233445566778899AABBCCDDEEFF0011223344556677\n");
  ASSERT_FALSE(load());
  EXPECT_NE(settings.Password, "hunter2");
  writeFile("[Proxy]\nPassword =\n");
  ASSERT_FALSE(load());
  EXPECT_EQ(settings.Password, "");
}

TEST_F(SettingsFileTest, FailuresGiveTheirMessagesAndKeepTheDefaults) {
  folder.write("blocker", "a file where a folder should be");
  Settings s;
  s.NumThreads = 7;
  auto message = loadSettings(s, {folder / "blocker/Tallyvane", folder / "blocker/Tallyvane/settings.prefs"}, 1920);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->title, "Error");
  EXPECT_EQ(message->text, "Cannot create Tallyvane settings folder");
  EXPECT_EQ(s.NumThreads, 30);

  fs::create_directory(folder / "settings.prefs");  // exists, but cannot be read as a file
  message = load();
  ASSERT_TRUE(message);
  EXPECT_EQ(message->text, "Cannot open Tallyvane settings file");
  message = saveSettings(settings, location());
  ASSERT_TRUE(message);
  EXPECT_EQ(message->text, "Cannot open Tallyvane preferences file!");

  message = saveSettings(settings, {folder / "missing", folder / "missing/settings.prefs"});
  ASSERT_TRUE(message);
  EXPECT_EQ(message->text, "Cannot save preferences in the settings file");
}

TEST_F(SettingsFileTest, AFailedSaveLeavesTheOldFileWhole) {
  ASSERT_FALSE(load());
  const std::string before = fileBytes();
  settings.NumThreads = 99;
  std::optional<Message> message;
  {
    const testing::FileSizeLimit limit(1000);
    message = saveSettings(settings, location());
  }
  ASSERT_TRUE(message);
  EXPECT_EQ(message->text, "Cannot save preferences in the settings file");
  EXPECT_EQ(fileBytes(), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(RecentFilesTest, WholePathMatchesMoveToTheTop) {
  std::vector<std::string> list = {"/a/list2.txt", "/b.txt"};
  addRecentFile(list, "  /a/list  ");
  EXPECT_EQ(list, (std::vector<std::string>{"/a/list", "/a/list2.txt", "/b.txt"}));
  addRecentFile(list, "/B.TXT");
  EXPECT_EQ(list, (std::vector<std::string>{"/B.TXT", "/a/list", "/a/list2.txt"}));
  for (int i = 0; i < 10; ++i) addRecentFile(list, "/n" + std::to_string(i));
  EXPECT_EQ(list.size(), 10u);
  EXPECT_EQ(list.front(), "/n9");
  EXPECT_EQ(list.back(), "/n0");
}

TEST(SettingsLocationTest, PortableProgramKeepsItsSettingsBesideIt) {
  const auto portable = defaultSettingsLocation("/apps/tv/TallyvanePortable.exe");
  EXPECT_EQ(portable.file, fs::path("/apps/tv/settings.prefs"));
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(defaultSettingsLocation("/usr/bin/tallyvane").file, fs::path("/cfg/Tallyvane/settings.prefs"));
  EXPECT_EQ(defaultSettingsLocation("/apps/tv/tallyvaneportable.exe").folder, fs::path("/cfg/Tallyvane"));
  ::unsetenv("XDG_CONFIG_HOME");
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", "/home/seo", 1);
  EXPECT_EQ(defaultSettingsLocation("/usr/bin/tallyvane").folder, fs::path("/home/seo/.config/Tallyvane"));
  // Without HOME (a service, a cron job) the user database names the home folder, never "/".
  ::unsetenv("HOME");
  const struct passwd* user = ::getpwuid(::getuid());
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(defaultSettingsLocation("/usr/bin/tallyvane").folder, fs::path(user->pw_dir) / ".config/Tallyvane");
  ::setenv("HOME", home.c_str(), 1);
  Settings settings;
  EXPECT_EQ(loadSettings(settings, SettingsLocation{}, 1920)->text, "Cannot create Tallyvane settings folder");
}

TEST(ColumnWidthCaptureTest, CapturesIntoTheCurrentMode) {
  Settings settings;
  captureColumnWidths(settings, kMainListMode2, std::vector<int64_t>(12, 7), {1, 2}, {9, 9, 9, 9});
  EXPECT_EQ(settings.columnWidths[kMainListMode2], std::vector<int64_t>(12, 7));
  EXPECT_EQ(settings.columnWidths[kMainListMode1], defaultColumnWidths(1920)[kMainListMode1]);
  EXPECT_EQ(settings.columnWidths[kResponsesList][1], 2);
  EXPECT_EQ(settings.columnWidths[kResponsesList][2], 95);
  EXPECT_EQ(settings.columnWidths[kLinksList], (std::vector<int64_t>{9, 9, 9}));
}

}  // namespace
}  // namespace tallyvane
