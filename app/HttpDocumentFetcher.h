#pragma once
// Fetches the sitemaps and robots.txt an input names as a worker requests a URL: through a
// WorkerConnection, so with the run's request settings (user agent, custom headers, proxy,
// cookies, CA bundle, host overrides), with GET, following redirects hop by hop, and ended at
// once when the crawl is stopped.
//
// Threads: the crawl's controller, which opens the input, makes and calls it.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/RequestContext.h"
#include "engine/WorkerConnection.h"
#include "input/DocumentFetcher.h"

namespace tallyvane {

// A whole sitemap takes longer than the headers of a page: the run's time-out, but at least this.
inline constexpr int64_t kMinDocumentTimeoutSeconds = 300;

class HttpDocumentFetcher : public DocumentFetcher {
 public:
  using Progress = std::function<void(std::string_view)>;
  HttpDocumentFetcher(const CurlApi& curl, const Settings& settings, const ConnectionOptions& connection,
                      RunningFlag& running, Progress progress);
  ~HttpDocumentFetcher() override;

  FetchedDocument fetch(const std::string& url) override;
  bool stopped() const override { return !running_.isSet(); }
  void showProgress(std::string_view text) override;
  bool showedProgress() const { return showedProgress_; }

 private:
  RunningFlag& running_;
  Settings settings_;  // the run's, as documents are requested
  RequestContext context_;
  Progress progress_;
  bool showedProgress_ = false;
  std::unique_ptr<WorkerConnection> connection_;  // made at the first fetch
  std::array<HopRecord, kHopsPerChain> hops_;
  std::string body_;
};

}  // namespace tallyvane
