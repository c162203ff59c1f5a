#include "cli/CheckCommand.h"

#include <array>
#include <cinttypes>

#include "app/CurlShare.h"
#include "engine/RedirectChain.h"
#include "engine/WorkerConnection.h"
#include "input/UrlParts.h"
#include "results/ResultStore.h"

namespace tallyvane::cli {
namespace {

const char* chainKindName(const ResultRecord& record) {
  switch (record.chainKind) {
    case kChainPlain: return record.redirectCount() == 0 ? "no redirect" : "single redirect";
    case kChainLoop: return "redirect loop";
    case kChainRedirects: return "redirect chain";
    case kChainMaxRedirects: return "max redirects exceeded";
    case kChainFailed: return "request failed";
    default: return "unknown";
  }
}

const char* orEmpty(const char* text) { return text ? text : ""; }

void printRecord(const ResultRecord& record, std::FILE* out) {
  std::fprintf(out, "%s\n", orEmpty(record.first().url));
  for (int i = 0; i < record.responseCount; ++i) {
    const ResponseRecord& r = record.responses[i];
    std::fprintf(out, "  %2d  %3" PRId64 "  %-24s  size %-8" PRId64 "  %5" PRId64 " ms  %-24s  %s\n", i,
                 r.statusCode, orEmpty(r.statusText), r.size, r.responseTime, orEmpty(r.type), orEmpty(r.url));
  }
  std::fprintf(out, "  chain: %s, %d redirect%s\n\n", chainKindName(record), record.redirectCount(),
               record.redirectCount() == 1 ? "" : "s");
}

}  // namespace

int checkUrls(const CurlApi& curl, const std::vector<std::string>& urls, const Settings& settings, UserInterface& ui,
              RunningFlag& running, std::FILE* out) {
  const auto share = CurlShare::create(curl, settings.CookiesDisabled == 0);
  if (!share) {
    ui.showMessage(kErrorTitle, kCannotInitializeCurlMessage);
    return kExitError;
  }
  RequestContext context;
  context.curl = &curl;
  context.settings = &settings;
  context.getDomains.rebuild(settings.GETDomains);
  context.share = share->handle();
  context.running = &running;

  ResultStore store(ResultStoreOptions{.slowPageThresholdMs = settings.slowPageThresholdMs});
  FatalErrorSlot fatal;
  {
    WorkerConnection connection(context);
    if (!connection.setUp()) {
      ui.showMessage(kNoCurlHandleTitle, kNoCurlHandleMessage);
      return kExitError;
    }
    std::array<HopRecord, kHopsPerChain> hops;
    for (const std::string& url : urls) {
      if (!isHttpUrl(url)) {
        std::fprintf(out, "%s\n  skipped: not an http:// or https:// URL\n\n", url.c_str());
        continue;
      }
      if (store.contains(url)) continue;
      hops[0].url = url;
      if (!checkUrlChain(connection, hops, running)) break;
      if (!store.add(hops, kTestModeNone, fatal)) break;
      printRecord(*store.recordAtIndex(store.count() - 1), out);
    }
  }
  if (fatal.isSet()) {
    const FatalError error = fatal.get();
    ui.showMessage(error.title, error.message);
    return kExitError;
  }
  return running.isSet() ? kExitFinished : kExitAborted;
}

}  // namespace tallyvane::cli
