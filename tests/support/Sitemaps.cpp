#include "tests/support/Sitemaps.h"

#include <zlib.h>

#include <stdexcept>

namespace tallyvane::testing {

std::string gzipped(std::string_view bytes) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string packed(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(packed.data());
  z.avail_out = static_cast<uInt>(packed.size());
  const int result = deflate(&z, Z_FINISH);
  packed.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return packed;
}

std::string urlsetOf(const std::vector<std::string>& urls) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
  for (const std::string& url : urls) xml += "  <url><loc>" + url + "</loc></url>\n";
  return xml + "</urlset>\n";
}

std::string sitemapIndexOf(const std::vector<std::string>& sitemaps) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
  for (const std::string& url : sitemaps) xml += "  <sitemap><loc>" + url + "</loc></sitemap>\n";
  return xml + "</sitemapindex>\n";
}

std::string gzipBomb(size_t megabytes) {
  const std::string blanks = gzipped(std::string(size_t{1} << 20, ' '));
  std::string bomb = gzipped("<urlset><url><loc>http://a.example/</loc></url>");
  for (size_t i = 0; i <= megabytes; ++i) bomb += blanks;
  return bomb + gzipped("</urlset>");
}

}  // namespace tallyvane::testing
