#pragma once
// Sitemap documents for tests: urlsets, indexes, gzip of them and gzip bombs.

#include <string>
#include <string_view>
#include <vector>

namespace tallyvane::testing {

// gzip of bytes, one member.
std::string gzipped(std::string_view bytes);

// A urlset with one <url><loc> per URL.
std::string urlsetOf(const std::vector<std::string>& urls);
// A sitemapindex naming each sitemap URL.
std::string sitemapIndexOf(const std::vector<std::string>& sitemaps);

// A small gzip stream of a urlset that unpacks to more than megabytes MB (blanks after its one
// URL), made of many members of one packed megabyte, so it costs little to make.
std::string gzipBomb(size_t megabytes);

}  // namespace tallyvane::testing
