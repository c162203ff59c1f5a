#include <gtest/gtest.h>

#include "input/MappingRules.h"
#include "input/MappingTest.h"
#include "input/RewriteRules.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane::testing {
namespace {

TEST(RewriteRulesTest, FirstApplicableRuleReplacesOnlyTheFirstOccurrence) {
  const RewriteRules rules = RewriteRules::parse(
      "; staging\r\n  a.example b.example  \r\nb.example c.example\r\nwww. \r\nold.example new example ; note\r\n"
      "x\r\n");
  ASSERT_EQ(rules.rules().size(), 3u);  // "www. " and "x" have no blank once trimmed
  EXPECT_EQ(rules.rules()[2].replacement, "new example");
  EXPECT_EQ(rules.apply("http://a.example/x"), "http://b.example/x");  // not on to c.example
  EXPECT_EQ(rules.apply("http://b.example/b.example"), "http://c.example/b.example");
  EXPECT_EQ(rules.apply("http://z.example/"), "http://z.example/");
  EXPECT_EQ(rules.apply("http://old.example/"), "http://new example/");
}

std::string messageOf(std::string_view text) {
  auto parsed = MappingTable::parse(text);
  const auto* message = std::get_if<Message>(&parsed);
  return message ? message->title + ": " + message->text : "";
}

MappingTable tableOf(std::string_view text) {
  auto parsed = MappingTable::parse(text);
  if (auto* message = std::get_if<Message>(&parsed)) ADD_FAILURE() << message->text;
  return std::get<MappingTable>(std::move(parsed));
}

TEST(MappingRulesTest, BadRulesQuoteTheTrimmedRuleLine) {
  EXPECT_EQ(messageOf("  /a https://new.example/b  ; first\n"),
            "Error: Bad rule (rule with no from-url-domain AND no previous domain): /a https://new.example/b (line 1)");
  EXPECT_EQ(messageOf("https://old.example/a /b\n"),
            "Error: Bad rule (rule With no to-url-domain AND no previous domain): https://old.example/a /b (line 1)");
  EXPECT_EQ(messageOf("https://old.example/a https://new.example/\r\n\r\n  https://old.example/lonely ;x\r"),
            "Error: Bad rule (missing to url): https://old.example/lonely (line 3)");
  EXPECT_EQ(messageOf("(https://old\\.example/(.+)x https://new.example/"),
            "Error: Bad regular expression rule - missing closing \")\": (https://old\\.example/(.+)x "
            "https://new.example/ (line 1)");
  EXPECT_EQ(messageOf("( https://new.example/"),
            "Error: Bad regular expression rule - missing closing \")\": ( "
            "https://new.example/ (line 1)");
}

TEST(MappingRulesTest, GroupsByOriginInFirstSeenOrderWithRelativeRules) {
  const MappingTable table = tableOf(
      "https://old.example:8080/a https://new.example:8443/b\n"
      "/c /d ; relative both ways\n"
      "http://other.example/x?id=1 https://new.example/x\n"
      "/y /z\n"
      "https://old.example/e https://new.example/f\n");
  ASSERT_EQ(table.groups().size(), 2u);
  EXPECT_EQ(table.groups()[0].origin, "https://old.example");
  EXPECT_EQ(table.groups()[1].origin, "http://other.example");
  ASSERT_EQ(table.groups()[0].rules.size(), 3u);
  EXPECT_EQ(table.groups()[0].rules[1].source, "/c");
  // The relative target keeps the port of the target above it: the same server.
  EXPECT_EQ(table.groups()[0].rules[1].target, "https://new.example:8443/d");
  EXPECT_EQ(table.groups()[1].rules[0].source, "/x?id=1");
  EXPECT_EQ(table.groups()[1].rules[1].target, "https://new.example/z");

  EXPECT_EQ(table.expectedTarget("https://old.example/a"), "https://new.example:8443/b");
  EXPECT_EQ(table.expectedTarget("https://old.example:9999/c"), "https://new.example:8443/d");  // port not in origin
  EXPECT_EQ(table.expectedTarget("https://Old.example/a"), std::nullopt);                       // origin case
  EXPECT_EQ(table.expectedTarget("http://old.example/a"), std::nullopt);
  EXPECT_EQ(table.expectedTarget("http://other.example/x?id=1"), "https://new.example/x");
  EXPECT_EQ(table.expectedTarget("http://other.example/x?id=2"), std::nullopt);
}

TEST(MappingRulesTest, ARetiredUrlPassesOnlyWithItsStatusAndNoRedirect) {
  const MappingTable table = tableOf(
      "https://old.example/a https://new.example/a\n/gone 410\n/hidden 451\n/b /b2\n(/legacy/.+) 404\n");
  // A status is no target origin: the relative target below it still takes the new site's.
  EXPECT_EQ(table.expectedTarget("https://old.example/b"), "https://new.example/b2");
  EXPECT_EQ(table.expectedTarget("https://old.example/legacy/x"), "404");

  const auto verdict = [&](std::vector<OutlineHop> hops) {
    const TestVerdict v = evaluateMapping({ChainEnd::Answered, hops}, table);
    return v.passed ? std::string("PASS") : v.note;
  };
  const std::string gone = "https://old.example/gone";
  EXPECT_EQ(verdict({{gone, 410, ""}}), "PASS");
  EXPECT_EQ(verdict({{"https://old.example/hidden", 451, ""}}), "PASS");
  EXPECT_EQ(verdict({{"https://old.example/legacy/x", 404, ""}}), "PASS");
  EXPECT_EQ(verdict({{gone, 404, ""}}), "[not 410]");
  EXPECT_EQ(verdict({{gone, 301, ""}, {"https://new.example/", 410, ""}}), "[redirected],[not 410]");
  EXPECT_EQ(verdict({{"https://old.example/a", 200, ""}}), "[not redirected],[bad final url]");  // a target rule as before
}

TEST(MappingRulesTest, WildcardsAreEscapedAndNeedOneCharacterOrMore) {
  const MappingTable table = tableOf(
      "https://old.example/blog/{} https://new.example/news/{1}\n"
      "https://old.example/a.php?id={}&p={} https://new.example/{2}/{1}\n"
      "https://old.example/[x]+{} https://new.example/brackets/{1}\n");
  EXPECT_EQ(table.groups()[0].rules[0].source, "/blog/(.+)");
  EXPECT_EQ(table.groups()[0].rules[1].source, "/a\\.php\\?id=(.+)&p=(.+)");
  EXPECT_EQ(table.expectedTarget("https://old.example/blog/post-1"), "https://new.example/news/post-1");
  EXPECT_EQ(table.expectedTarget("https://old.example/blog/"), std::nullopt);
  EXPECT_EQ(table.expectedTarget("https://old.example/a.php?id=7&p=2"), "https://new.example/2/7");
  EXPECT_EQ(table.expectedTarget("https://old.example/aXphp?id=7&p=2"), std::nullopt);  // the dot is literal
  EXPECT_EQ(table.expectedTarget("https://old.example/[x]+y"), "https://new.example/brackets/y");
}

TEST(MappingRulesTest, PatternsMustSpanTheWholePathAndApplyInFileOrder) {
  const MappingTable table = tableOf(
      "(https://old\\.example/(.+)/index\\.html) https://new.example/{1}/\n"
      "https://old.example/x/index.html https://new.example/exact-after-pattern\n"
      "https://old.example/first https://new.example/exact-first\n"
      "(/fir(s)t) https://new.example/pattern-second-{1}\n"
      "(/part) https://new.example/part\n"
      "(/(unclosed) https://new.example/never\n"
      "(/{0}|/empty(/)?(y)?) https://new.example/e{1}{2}\n");
  EXPECT_EQ(table.groups().size(), 1u);
  EXPECT_EQ(table.expectedTarget("https://old.example/x/index.html"), "https://new.example/x/");
  EXPECT_EQ(table.expectedTarget("https://old.example/x/index.html?p=1"), std::nullopt);
  EXPECT_EQ(table.expectedTarget("https://old.example/first"), "https://new.example/exact-first");
  EXPECT_EQ(table.expectedTarget("https://old.example/part/more"), std::nullopt);
  EXPECT_EQ(table.expectedTarget("https://old.example/(unclosed"), std::nullopt);  // does not compile
  // A pattern that matches the empty string first neither loops nor misses the whole match;
  // a group that took no part gives "".
  EXPECT_EQ(table.expectedTarget("https://old.example/empty/"), "https://new.example/e/");
}

TEST(MappingRulesTest, FileIsReadWithAnyLineEndAndWithoutItsByteOrderMark) {
  ScratchFolder folder;
  const auto file = folder.write("rules.txt", "\xEF\xBB\xBFhttps://old.example/a https://new.example/b\r/c /d\r\n");
  auto loaded = MappingTable::load(file);
  ASSERT_TRUE(std::holds_alternative<MappingTable>(loaded));
  EXPECT_EQ(std::get<MappingTable>(loaded).expectedTarget("https://old.example/c"), "https://new.example/d");
  auto missing = MappingTable::load(folder / "none.txt");
  ASSERT_TRUE(std::holds_alternative<Message>(missing));
  EXPECT_EQ(std::get<Message>(missing).text, "Cannot read data from mapping rules file!");
}

}  // namespace
}  // namespace tallyvane::testing
