#include "config/SettingsDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace tallyvane {
namespace {

TEST(SettingsDocumentTest, ReadsGroupsAndKeysIgnoringCaseAndBlanks) {
  const auto document = SettingsDocument::parse(
      "\xEF\xBB\xBF\n"
      "top = level\n"
      "  [Proxy] trailing words\n"
      "\t addr\t=\t proxy.example  \t\r\n"
      "\n"
      "; a comment\n"
      "Port=8080\r"
      "[other]\n"
      "Port = 1\n");
  EXPECT_EQ(document.readText("pROXY", "ADDR"), "proxy.example");
  EXPECT_EQ(document.readText("Proxy", "Port"), "8080");
  EXPECT_EQ(document.readText("Other", "port"), "1");
  EXPECT_EQ(document.readText("", "top"), "level");
  EXPECT_EQ(document.readText("Proxy", "top", "absent"), "absent");
  EXPECT_EQ(document.readText("Missing", "Port", "absent"), "absent");
}

TEST(SettingsDocumentTest, IntegersAreTheLeadingSignedNumber) {
  const auto document = SettingsDocument::parse("[G]\na = -5x\nb = word\nc = +7\nd = 99999999999999999999\n");
  EXPECT_EQ(document.readInteger("G", "a", 1), -5);
  EXPECT_EQ(document.readInteger("G", "b", 1), 0);
  EXPECT_EQ(document.readInteger("G", "c", 1), 7);
  EXPECT_EQ(document.readInteger("G", "d", 1), INT64_MAX);
  EXPECT_EQ(document.readInteger("G", "missing", 42), 42);
}

TEST(SettingsDocumentTest, WritingKeepsWhatItDoesNotWrite) {
  auto document = SettingsDocument::parse("[Mine]\n;hand comment\nkeep=this\n[Threads]\nNumThreads = 5\nother = x\n");
  document.write("Threads", "numthreads", 12);
  document.write("Threads", "Added", "new");
  document.write("Fresh", "Key", "v");
  EXPECT_EQ(document.serialize(),
            "\xEF\xBB\xBF\n"
            "[Mine]\n"
            "; hand comment\n"
            "keep = this\n"
            "[Threads]\n"
            "NumThreads = 12\n"
            "other = x\n"
            "Added = new\n"
            "[Fresh]\n"
            "Key = v\n");
}

TEST(SettingsDocumentTest, WithoutByteOrderMarkTheFileIsIso88591) {
  const auto document = SettingsDocument::parse("[Proxy]\nUser = J\xF6rg\n");
  EXPECT_EQ(document.readText("Proxy", "User"), "J\xC3\xB6rg");
}

TEST(SettingsDocumentTest, ALineBreakInAValueCannotStartAnotherEntry) {
  SettingsDocument document;
  document.write("Proxy", "Addr", "host\nInjected = 1");
  const auto reread = SettingsDocument::parse(document.serialize());
  EXPECT_EQ(reread.readText("Proxy", "Addr"), "host Injected = 1");
  EXPECT_FALSE(reread.read("Proxy", "Injected"));
}

}  // namespace
}  // namespace tallyvane
