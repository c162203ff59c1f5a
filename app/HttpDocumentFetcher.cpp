#include "app/HttpDocumentFetcher.h"

#include <algorithm>
#include <cassert>

#include "base/ThreadAffinity.h"
#include "engine/RedirectChain.h"
#include "input/Sitemap.h"

namespace tallyvane {

HttpDocumentFetcher::HttpDocumentFetcher(const CurlApi& curl, const Settings& settings,
                                         const ConnectionOptions& connection, RunningFlag& running,
                                         Progress progress)
    : running_(running), settings_(settings), progress_(std::move(progress)) {
  settings_.HeaderRequestMethod = MethodChoice::Get;  // the body is the point
  if (settings_.TimeoutSeconds > 0) settings_.TimeoutSeconds = std::max(settings_.TimeoutSeconds, kMinDocumentTimeoutSeconds);
  context_.curl = &curl;
  context_.settings = &settings_;
  context_.connection = connection;
  context_.running = &running;
}

HttpDocumentFetcher::~HttpDocumentFetcher() = default;

void HttpDocumentFetcher::showProgress(std::string_view text) {
  assert(onThread(ThreadRole::Controller));
  showedProgress_ = true;
  if (progress_) progress_(text);
}

FetchedDocument HttpDocumentFetcher::fetch(const std::string& url) {
  assert(onThread(ThreadRole::Controller));
  if (!connection_) {
    connection_ = std::make_unique<WorkerConnection>(context_);
    if (!connection_->setUp()) {
      connection_.reset();
      return {{}, std::string(kNoCurlHandleMessage)};
    }
    connection_->keepBodies(&body_, kMaxSitemapBytes);
  }
  hops_[0].url = url;
  // Without turns a chain is done or stopped, never to be asked again later.
  const ChainOutcome outcome = checkUrlChain(*connection_, HopRow(hops_), running_);
  if (outcome.kind != ChainOutcome::Kind::Done) return {};  // stopped
  const HopRecord& last = hops_[static_cast<size_t>(outcome.hop)];
  if (hops_[0].kind == kChainLoop) return {{}, std::string(kRedirectLoopText)};
  if (hops_[0].kind == kChainMaxRedirects) return {{}, std::string(kMaxRedirectsText)};
  if (last.kind == kChainFailed) return {{}, last.statusText};
  if (last.statusCode < 200 || last.statusCode > 299) {
    std::string problem = std::to_string(last.statusCode);
    if (!last.statusText.empty()) problem += " " + last.statusText;
    return {{}, problem};
  }
  return {std::move(body_), {}};
}

}  // namespace tallyvane
