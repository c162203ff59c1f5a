#include "results/InFlightUrls.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace tallyvane {
namespace {

// Random claims and releases, with CRCs chosen from a handful so that URLs share them, against a
// plain map: only the URL tells claims of one CRC apart, and a release keeps every other claim.
TEST(InFlightUrlsTest, ClaimsAndReleasesUnderCollisionsMatchAPlainSet) {
  std::vector<std::string> urls;
  for (int i = 0; i < 400; ++i) urls.push_back("http://a.example/" + std::to_string(i));
  const std::vector<uint32_t> crcs = {0, 1, 0x80000000u, 0xFFFFFFFFu, 0x12345678u, 0x9E3779B1u};
  std::mt19937 random(7);
  InFlightUrls table;
  std::map<size_t, uint32_t> claimed;  // url index -> its CRC
  for (int step = 0; step < 200000; ++step) {
    const size_t url = random() % urls.size();
    const auto found = claimed.find(url);
    if (found != claimed.end() && random() % 2 == 0) {
      table.erase(found->second, urls[url]);
      claimed.erase(found);
    } else if (found != claimed.end()) {
      ASSERT_FALSE(table.insert(found->second, urls[url])) << "step " << step;
    } else if (claimed.size() < InFlightUrls::kCapacity) {
      const uint32_t crc = crcs[url % crcs.size()];
      ASSERT_TRUE(table.insert(crc, urls[url])) << "step " << step;
      claimed.emplace(url, crc);
    }
  }
  for (const auto& [url, crc] : claimed) EXPECT_FALSE(table.insert(crc, urls[url]));
}

}  // namespace
}  // namespace tallyvane
