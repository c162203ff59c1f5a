#include "engine/WorkerConnection.h"

#include <cassert>
#include <cmath>

#include "base/Clock.h"
#include "base/Text.h"
#include "engine/AsciiHost.h"
#include "engine/HeaderAnalysis.h"
#include "engine/StatusLine.h"
#include "input/UrlParts.h"

namespace tallyvane {
namespace {

bool isBlankLine(std::string_view line) { return line == "\r\n" || line == "\n"; }

// The first bytes of text, cut back to a whole UTF-8 character.
void keepFirstBytes(std::string& text, size_t limit) {
  if (text.size() <= limit) return;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

constexpr unsigned kFirstVersionWithProtocolNames = 0x075500;  // 7.85.0

}  // namespace

WorkerConnection::~WorkerConnection() {
  if (handle_) context_.curl->easy_setopt(handle_.get(), CURLOPT_SHARE, static_cast<CURLSH*>(nullptr));
}

void WorkerConnection::setText(CURLoption option, const std::string& text) {
  // Option texts go to libcurl as 8-bit strings; libcurl keeps its own copy.
  const std::string bytes = latin1FromUtf8(text);
  context_.curl->easy_setopt(handle_.get(), option, bytes.c_str());
}

bool WorkerConnection::setUp() {
  const CurlApi& curl = *context_.curl;
  const Settings& settings = *context_.settings;
  handle_ = CurlEasyHandle(curl.easy_init(), CurlEasyCleanup{&curl});
  if (!handle_) return false;
  CURL* handle = handle_.get();
  limitToHttp(curl.version_info(CURLVERSION_NOW));
  curl.easy_setopt(handle, CURLOPT_HEADER, 1L);
  setText(CURLOPT_USERAGENT, settings.requestUserAgent);
  if (settings.UseProxy && !settings.User.empty()) {
    setText(CURLOPT_PROXYUSERPWD, settings.User + ":" + settings.Password);
  }
  if (settings.UseProxy) setText(CURLOPT_PROXY, settings.Addr + ":" + settings.Port);
  curl.easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl.easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer_.data());
  curl.easy_setopt(handle, CURLOPT_SHARE, context_.share);
  if (settings.CookiesDisabled == CookiesChoice::Enabled) curl.easy_setopt(handle, CURLOPT_COOKIEFILE, "");
  // A server that never answers, drips or sends without end would hold the worker forever.
  if (settings.TimeoutSeconds > 0) curl.easy_setopt(handle, CURLOPT_TIMEOUT, static_cast<long>(settings.TimeoutSeconds));
  // Without a write function libcurl would copy every body to standard output.
  curl.easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WorkerConnection::onBody);
  curl.easy_setopt(handle, CURLOPT_WRITEDATA, this);
  // The header and abort callbacks find the hop through the connection (current_), so they are
  // the same for every hop and set once.
  curl.easy_setopt(handle, CURLOPT_HEADERDATA, this);
  curl.easy_setopt(handle, CURLOPT_HEADERFUNCTION, &WorkerConnection::onHeader);
  curl.easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl.easy_setopt(handle, CURLOPT_PROGRESSFUNCTION, &WorkerConnection::onProgress);
  curl.easy_setopt(handle, CURLOPT_PROGRESSDATA, this);
  if (settings.UseCustomHeaders) buildCustomHeaders();
  applyConnectionOptions();
  return true;
}

void WorkerConnection::keepBodies(std::string* body, size_t limit) {
  body_ = body;
  bodyLimit_ = limit;
  bodyTooLargeReason_ = "Response body larger than " + std::to_string(limit >> 20) + " MB";
  // The header lines go to the header callback only, not into the body.
  context_.curl->easy_setopt(handle_.get(), CURLOPT_HEADER, 0L);
}

void WorkerConnection::applyConnectionOptions() {
  const CurlApi& curl = *context_.curl;
  const ConnectionOptions& options = context_.connection;
  // File names go to libcurl as they are: the file system takes bytes.
  if (!options.caBundle.empty()) curl.easy_setopt(handle_.get(), CURLOPT_CAINFO, options.caBundle.c_str());
  resolve_ = CurlStringList(nullptr, CurlStringListFree{&curl});
  for (const std::string& entry : options.resolve) {
    if (curl_slist* list = curl.slist_append(resolve_.get(), entry.c_str())) {
      (void)resolve_.release();
      resolve_.reset(list);
    }
  }
  if (resolve_) curl.easy_setopt(handle_.get(), CURLOPT_RESOLVE, resolve_.get());
}

void WorkerConnection::limitToHttp(const curl_version_info_data* library) {
  // A URL given to libcurl could otherwise read a local file (file:) or reach other services.
  const CurlApi& curl = *context_.curl;
  if (library != nullptr && library->version_num >= kFirstVersionWithProtocolNames) {
    curl.easy_setopt(handle_.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl.easy_setopt(handle_.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  } else {
    const long httpOnly = CURLPROTO_HTTP | CURLPROTO_HTTPS;
    curl.easy_setopt(handle_.get(), CURLOPT_PROTOCOLS, httpOnly);
    curl.easy_setopt(handle_.get(), CURLOPT_REDIR_PROTOCOLS, httpOnly);
  }
}

void WorkerConnection::buildCustomHeaders() {
  const CurlApi& curl = *context_.curl;
  customHeaders_ = CurlStringList(nullptr, CurlStringListFree{&curl});
  forEachCrLfLine(context_.settings->CustomHeaders, [&](std::string_view line) {
    const std::string header(trimBlanks(line));
    if (header.empty()) return;
    // On failure libcurl returns nothing and leaves the list as it was.
    if (curl_slist* list = curl.slist_append(customHeaders_.get(), header.c_str())) {
      (void)customHeaders_.release();
      customHeaders_.reset(list);
    }
  });
  if (customHeaders_) curl.easy_setopt(handle_.get(), CURLOPT_HTTPHEADER, customHeaders_.get());
}

bool WorkerConnection::prepareRequestUrl(HopRecord& hop) {
  // A redirect may lead anywhere (file:, mailto:, ...): only http and https are ever requested.
  if (!isHttpUrl(hop.url)) {
    fail(hop, kNotHttpReason);
    return false;
  }
  // The fragment stays in the record but is never sent. The URL goes out as its own bytes.
  requestUrl_.assign(hop.url, 0, hop.url.find('#'));
  // libcurl's own conversion reads the host in the process's locale, which may not be UTF-8.
  if (const auto error = makeHostAscii(requestUrl_)) {
    fail(hop, error->message);
    return false;
  }
  return true;
}

void WorkerConnection::performHop(HopRecord& hop) {
  assert(owner_.isCurrent());
  const CurlApi& curl = *context_.curl;
  const Settings& settings = *context_.settings;
  CURL* handle = handle_.get();
  hop.resetResponse();
  if (!prepareRequestUrl(hop)) return;
  curl.easy_setopt(handle, CURLOPT_URL, requestUrl_.c_str());
  // Only the per-host choice needs the host.
  const std::string host = settings.HeaderRequestMethod == MethodChoice::GetForListedHosts ? getUrlPart(hop.url, kPartSite) : std::string();
  const RequestMethod method = context_.getDomains.methodFor(host, settings.HeaderRequestMethod);
  if (settings.CookiesDisabled == CookiesChoice::Disabled) curl.easy_setopt(handle, CURLOPT_COOKIESESSION, 1L);

  int64_t start = monotonicMs();
  CURLcode result = transfer(hop, method);
  long statusCode = 0;
  curl.easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &statusCode);
  // A server that refuses HEAD is asked again with GET; both header blocks stay, HEAD's first.
  if (settings.FallbackToGET != 0 && method == RequestMethod::Head && result == CURLE_OK && running() &&
      (statusCode == 405 || statusCode == 501)) {
    start = monotonicMs();
    result = transfer(hop, RequestMethod::Get);
    curl.easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &statusCode);
  }
  // Header lines, and the status text taken from one, are kept as they came; the block is checked
  // as UTF-8 once, as a whole. Cut at ASCII bytes, the status text is valid when the block is.
  if (!isValidUtf8(hop.rawHeaders)) {
    hop.rawHeaders = sanitizeUtf8(hop.rawHeaders);
    hop.statusText = sanitizeUtf8(hop.statusText);
  }
  if (result != CURLE_OK || !running()) return fail(hop, failureReason(result));

  hop.statusCode = statusCode;
  if (hop.isRedirect()) {
    char* target = nullptr;
    curl.easy_getinfo(handle, CURLINFO_REDIRECT_URL, &target);
    if (target == nullptr || *target == '\0') {
      hop.statusCode = 0;
      return fail(hop, kNoRedirectTargetReason);
    }
    appendSanitizedUtf8(hop.redirectTarget, target);  // into the reused capacity
  }
  double length = -1;
  curl.easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD, &length);
  hop.size = std::llround(length);
  char* contentType = nullptr;
  curl.easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType != nullptr) appendSanitizedUtf8(hop.contentType, contentType);

  if (context_.analyseHeaders && analysedHeaderSeen_) context_.analyseHeaders(hop);
  hop.responseTime = monotonicMs() - start;
}

CURLcode WorkerConnection::transfer(HopRecord& hop, RequestMethod method) {
  const CurlApi& curl = *context_.curl;
  CURL* handle = handle_.get();
  current_ = &hop;
  expectStatusLine_ = true;
  headersTooLarge_ = false;
  bodyTooLarge_ = false;
  if (body_ != nullptr) body_->clear();
  analysedHeaderSeen_ = false;
  errorBuffer_[0] = '\0';
  curl.easy_setopt(handle, CURLOPT_NOBODY, method == RequestMethod::Head ? 1L : 0L);
  // A GET after a HEAD on the same handle must not stay a HEAD request.
  if (method != RequestMethod::Head) curl.easy_setopt(handle, CURLOPT_HTTPGET, 1L);
  const CURLcode result = curl.easy_perform(handle);
  current_ = nullptr;
  return result;
}

std::string_view WorkerConnection::failureReason(CURLcode result) const {
  if (headersTooLarge_) return kHeadersTooLargeReason;
  if (bodyTooLarge_) return bodyTooLargeReason_;
  if (errorBuffer_[0] != '\0') return errorBuffer_.data();
  const char* text = context_.curl->easy_strerror(result);
  return text != nullptr ? text : "";
}

void WorkerConnection::fail(HopRecord& hop, std::string_view reason) {
  hop.kind = kChainFailed;
  hop.statusText.assign(kFailurePrefix);
  appendSanitizedUtf8(hop.statusText, reason);
  // A hostile server's junk is not worth keeping whole, in every hop and every report.
  keepFirstBytes(hop.rawHeaders, kMaxFailedHopHeaderBytes);
}

size_t WorkerConnection::onHeader(char* data, size_t size, size_t count, void* self) {
  auto& connection = *static_cast<WorkerConnection*>(self);
  if (!connection.running()) return 0;
  HopRecord& hop = *connection.current_;
  const std::string_view line(data, size * count);
  if (hop.rawHeaders.size() + line.size() > kMaxRawHeaderBytes) {
    connection.headersTooLarge_ = true;
    return 0;
  }

  // The status text comes from the status line of the last header block, so an interim
  // 1xx or a proxy's CONNECT answer does not name the final response.
  const bool firstLine = hop.rawHeaders.empty();
  if (connection.expectStatusLine_ && (firstLine || line.starts_with("HTTP/"))) {
    hop.statusText.assign(statusTextOf(line));
    connection.expectStatusLine_ = false;
  } else if (isBlankLine(line)) {
    connection.expectStatusLine_ = true;
  }
  if (!connection.analysedHeaderSeen_) connection.analysedHeaderSeen_ = analysedHeaderOf(line) != AnalysedHeader::kNone;
  hop.rawHeaders.append(line);
  return size * count;
}

size_t WorkerConnection::onBody(char* data, size_t size, size_t count, void* self) {
  auto& connection = *static_cast<WorkerConnection*>(self);
  const size_t bytes = size * count;
  if (connection.body_ == nullptr) return bytes;
  if (bytes > connection.bodyLimit_ - connection.body_->size()) {
    connection.bodyTooLarge_ = true;
    return 0;
  }
  connection.body_->append(data, bytes);
  return bytes;
}

int WorkerConnection::onProgress(void* self, double, double, double, double) {
  return static_cast<WorkerConnection*>(self)->running() ? 0 : 1;
}

}  // namespace tallyvane
