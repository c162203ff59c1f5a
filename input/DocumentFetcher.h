#pragma once
// How the input gets the documents a URL names (a sitemap, the sitemaps of an index, a
// robots.txt). input/ only parses bytes; the crawl supplies a fetcher that requests them with the
// run's request settings.
//
// Threads: called on the thread that opens the input (the crawl's controller).

#include <string>
#include <string_view>

namespace tallyvane {

struct FetchedDocument {
  std::string body;     // as the server sent it; the reader unpacks gzip itself
  std::string problem;  // why there is no document ("404 Not Found", "LibCurl:..."); "" when there is
};

class DocumentFetcher {
 public:
  virtual ~DocumentFetcher() = default;
  virtual FetchedDocument fetch(const std::string& url) = 0;
  // True once the crawl has been stopped: reading ends at once, without a message.
  virtual bool stopped() const = 0;
  // What the reading is at: a large sitemap index takes a while.
  virtual void showProgress(std::string_view text) = 0;
};

}  // namespace tallyvane
