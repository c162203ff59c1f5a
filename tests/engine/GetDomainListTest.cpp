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
  EXPECT_EQ(list.methodFor("example.com", MethodChoice::Head), RequestMethod::Head);
  EXPECT_EQ(list.methodFor("other.org", MethodChoice::Get), RequestMethod::Get);
  EXPECT_EQ(list.methodFor("EXAMPLE.com", MethodChoice::GetForListedHosts), RequestMethod::Get);
  EXPECT_EQ(list.methodFor("www.example.com", MethodChoice::GetForListedHosts), RequestMethod::Head);
  EXPECT_EQ(list.methodFor("example.co", MethodChoice::GetForListedHosts), RequestMethod::Head);
  EXPECT_EQ(list.methodFor("example.com", static_cast<MethodChoice>(3)), RequestMethod::None);
}

}  // namespace
}  // namespace tallyvane
