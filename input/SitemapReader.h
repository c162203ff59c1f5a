#pragma once
// The entries of an input made of sitemaps: a sitemap file or URL (plain or gzip), the sitemaps
// a sitemap index names, followed to theirs in turn, or the sitemaps named in the Sitemap: lines
// of a robots.txt. Each sitemap is read once; one that cannot be read is named in a warning and
// the others are still read. Documents named by URL come through the crawl's DocumentFetcher.

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileDescriptor.h"
#include "base/Message.h"
#include "input/DocumentFetcher.h"
#include "input/Sitemap.h"

namespace tallyvane {

// How far sitemap indexes are followed: the input is level 0 and names level 1. The protocol
// needs two (a robots.txt naming an index naming sitemaps); three leaves room for sites that nest
// indexes, and ends a chain of indexes that name each other anew.
inline constexpr int kMaxSitemapDepth = 3;
// Sitemaps read beyond the input itself: every one is fetched before the crawl starts, so this
// bounds the wait and the memory (a sitemap holds at most 50,000 URLs).
inline constexpr size_t kMaxSitemaps = 1000;

inline constexpr std::string_view kWarningTitle = "Warning";

struct SitemapsRead {
  std::optional<Sitemap> sitemap;  // set when the input opened
  std::optional<Message> message;  // why it did not, or which sitemaps were left out
  bool stopped = false;            // the crawl was stopped while the sitemaps were fetched
};

class SitemapReader {
 public:
  // Without a fetcher, sitemaps named by URL cannot be read.
  explicit SitemapReader(DocumentFetcher* fetcher) : fetcher_(fetcher) {}

  SitemapsRead readFile(const std::string& name, FileDescriptor fd);
  // A sitemap or sitemap index, or a robots.txt when the path is /robots.txt.
  SitemapsRead readUrl(const std::string& url);

 private:
  // Fetches url into body; false, with a problem noted, when it cannot be fetched.
  bool fetch(const std::string& url, std::string& body);
  // Reads the documents named by an index (or a robots.txt) at base, on the given level.
  void follow(const std::vector<std::string>& named, const std::string& base, int level);
  void readNamed(const std::string& url, int level);
  void note(const std::string& url, std::string_view problem);
  void showProgress(const std::string& text);
  bool stopped() const { return fetcher_ != nullptr && fetcher_->stopped(); }
  // The root document read (or refused with message); indexes and their sitemaps followed.
  SitemapsRead finish(Sitemap::Document root, const std::string& name, const std::string& base);

  DocumentFetcher* fetcher_;
  Sitemap sitemap_;
  std::set<std::string> seen_;  // every sitemap URL fetched or about to be
  std::vector<std::string> problems_;
  size_t named_ = 0;  // sitemaps named so far, for the progress text
  size_t read_ = 0;
  size_t leftOut_ = 0;  // named beyond kMaxSitemaps
};

// The URLs of a robots.txt's Sitemap: lines, in order (the field name in any letter case).
std::vector<std::string> sitemapsOfRobotsTxt(std::string_view text);

// True for a URL whose path is /robots.txt.
bool isRobotsTxtUrl(std::string_view url);

}  // namespace tallyvane
