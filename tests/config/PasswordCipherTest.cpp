#include "config/PasswordCipher.h"

#include <gtest/gtest.h>

#include <string>

namespace tallyvane {
namespace {

TEST(PasswordCipherTest, RoundTripsEveryKindOfPassword) {
  for (const std::string& password : {std::string(), std::string("secret"), std::string("p\xC3\xA4ss \xE2\x82\xAC \xF0\x9F\x94\x91"),
                                     std::string(500, 'x') + "end"}) {
    const std::string stored = encipherPassword(password);
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(decipherPassword(stored), password);
  }
}

TEST(PasswordCipherTest, StoredFormIsTwoHexDigitsPerUtf16ByteWithTerminator) {
  // 9 prefix units + 6 password units + terminating zero, two bytes each, two digits per byte.
  EXPECT_EQ(encipherPassword("secret").size(), (9u + 6u + 1u) * 2u * 2u);
  EXPECT_EQ(encipherPassword("").size(), 40u);
  EXPECT_NE(encipherPassword("secret"), encipherPassword("secreu"));
}

TEST(PasswordCipherTest, ForeignOrDamagedValuesNeverFail) {
  EXPECT_EQ(decipherPassword(""), "");
  EXPECT_EQ(decipherPassword("ABCD"), "");                          // under one block
  EXPECT_EQ(decipherPassword("not hex at all, not hex at all!!"), "");
  // Enciphered elsewhere with other constants: any text, but no crash and valid UTF-8.
  const std::string foreign = "3A1F9C0B7E55D2A48F61C03B9E2D7A5C11E0F4B8A9C2D3E4F5061728394A5B6C7D8E9F0A1B2C";
  const std::string deciphered = decipherPassword(foreign);
  EXPECT_NE(deciphered, "secret");
  std::string stored = encipherPassword("secret");
  stored.back() = stored.back() == '0' ? '1' : '0';
  EXPECT_NE(decipherPassword(stored), "secret");
}

}  // namespace
}  // namespace tallyvane
