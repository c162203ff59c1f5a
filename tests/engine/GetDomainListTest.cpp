#include "engine/GetDomainList.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tallyvane {
namespace {

using ::testing::ElementsAre;

TEST(GetDomainListTest, OneEntryPerHostWithCommentsAndBlankLinesDropped) {
  GetDomainList list;
  list.rebuild("  example.com ; main site\r\n\r\n; only a comment\r\nshop.example.net\r\n");
  EXPECT_THAT(list.hosts(), ElementsAre("example.com", "shop.example.net"));
}

TEST(GetDomainListTest, NoHostsLeavesOneEmptyEntry) {
  GetDomainList list;
  list.rebuild("a.example");
  list.rebuild(" ; nothing\r\n");
  EXPECT_THAT(list.hosts(), ElementsAre(""));
}

TEST(GetDomainListTest, MethodFollowsTheSetting) {
  GetDomainList list;
  list.rebuild("Example.COM");
  EXPECT_EQ(list.methodFor("example.com", 0), RequestMethod::Head);
  EXPECT_EQ(list.methodFor("other.org", 1), RequestMethod::Get);
  EXPECT_EQ(list.methodFor("EXAMPLE.com", 2), RequestMethod::Get);
  EXPECT_EQ(list.methodFor("www.example.com", 2), RequestMethod::Head);
  EXPECT_EQ(list.methodFor("example.co", 2), RequestMethod::Head);
  EXPECT_EQ(list.methodFor("example.com", 3), RequestMethod::None);
}

}  // namespace
}  // namespace tallyvane
