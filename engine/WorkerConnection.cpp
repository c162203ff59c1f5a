#include "engine/WorkerConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cmath>

#include "base/Clock.h"
#include "base/Text.h"
#include "engine/StatusLine.h"
#include "input/UrlParts.h"

namespace tallyvane {
namespace {

bool isBlankLine(std::string_view line) { return line == "\r\n" || line == "\n"; }

}  // namespace

WorkerConnection::~WorkerConnection() {
  const CurlApi& curl = *context_.curl;
  if (handle_ != nullptr) {
    curl.easy_setopt(handle_, CURLOPT_SHARE, static_cast<CURLSH*>(nullptr));
    curl.easy_cleanup(handle_);
  }
  if (customHeaders_ != nullptr) curl.slist_free_all(customHeaders_);
  if (resolve_ != nullptr) curl.slist_free_all(resolve_);
}

void WorkerConnection::setText(CURLoption option, const std::string& text) {
  // Option texts go to libcurl as 8-bit strings; libcurl keeps its own copy.
  const std::string bytes = latin1FromUtf8(text);
  context_.curl->easy_setopt(handle_, option, bytes.c_str());
}

bool WorkerConnection::setUp() {
  const CurlApi& curl = *context_.curl;
  const Settings& settings = *context_.settings;
  handle_ = curl.easy_init();
  if (handle_ == nullptr) return false;
  curl.easy_setopt(handle_, CURLOPT_HEADER, 1L);
  setText(CURLOPT_USERAGENT, settings.requestUserAgent);
  if (settings.UseProxy && !settings.User.empty()) {
    setText(CURLOPT_PROXYUSERPWD, settings.User + ":" + settings.Password);
  }
  if (settings.UseProxy) setText(CURLOPT_PROXY, settings.Addr + ":" + settings.Port);
  curl.easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
  curl.easy_setopt(handle_, CURLOPT_ERRORBUFFER, errorBuffer_.data());
  curl.easy_setopt(handle_, CURLOPT_SHARE, context_.share);
  if (settings.CookiesDisabled == 0) curl.easy_setopt(handle_, CURLOPT_COOKIEFILE, "");
  // Without a write function libcurl would copy every body to standard output.
  curl.easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &WorkerConnection::onBody);
  curl.easy_setopt(handle_, CURLOPT_WRITEDATA, this);
  // Known sockets let a stopped crawl wake transfers blocked on them.
  curl.easy_setopt(handle_, CURLOPT_OPENSOCKETFUNCTION, &WorkerConnection::onOpenSocket);
  curl.easy_setopt(handle_, CURLOPT_OPENSOCKETDATA, this);
  curl.easy_setopt(handle_, CURLOPT_CLOSESOCKETFUNCTION, &WorkerConnection::onCloseSocket);
  curl.easy_setopt(handle_, CURLOPT_CLOSESOCKETDATA, this);
  // The header and abort callbacks find the hop through the connection (current_), so they are
  // the same for every hop and set once.
  curl.easy_setopt(handle_, CURLOPT_HEADERDATA, this);
  curl.easy_setopt(handle_, CURLOPT_HEADERFUNCTION, &WorkerConnection::onHeader);
  curl.easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
  curl.easy_setopt(handle_, CURLOPT_PROGRESSFUNCTION, &WorkerConnection::onProgress);
  curl.easy_setopt(handle_, CURLOPT_PROGRESSDATA, this);
  if (settings.UseCustomHeaders) buildCustomHeaders();
  const ConnectionOptions& options = context_.connection;
  // File names go to libcurl as they are: the file system takes bytes.
  if (!options.caBundle.empty()) curl.easy_setopt(handle_, CURLOPT_CAINFO, options.caBundle.c_str());
  for (const std::string& entry : options.resolve) {
    if (curl_slist* list = curl.slist_append(resolve_, entry.c_str())) resolve_ = list;
  }
  if (resolve_ != nullptr) curl.easy_setopt(handle_, CURLOPT_RESOLVE, resolve_);
  return true;
}

void WorkerConnection::buildCustomHeaders() {
  forEachCrLfLine(context_.settings->CustomHeaders, [&](std::string_view line) {
    const std::string header(trimBlanks(line));
    if (header.empty()) return;
    if (curl_slist* list = context_.curl->slist_append(customHeaders_, header.c_str())) customHeaders_ = list;
  });
  if (customHeaders_ != nullptr) context_.curl->easy_setopt(handle_, CURLOPT_HTTPHEADER, customHeaders_);
}

void WorkerConnection::performHop(HopRecord& hop) {
  const CurlApi& curl = *context_.curl;
  const Settings& settings = *context_.settings;
  hop.resetResponse();
  current_ = &hop;
  expectStatusLine_ = true;
  errorBuffer_[0] = '\0';

  // The fragment stays in the record but is never sent. The URL goes out as its own bytes.
  requestUrl_.assign(hop.url, 0, hop.url.find('#'));
  curl.easy_setopt(handle_, CURLOPT_URL, requestUrl_.c_str());
  // Only the per-host choice needs the host.
  const std::string host = settings.HeaderRequestMethod == 2 ? getUrlPart(hop.url, kPartSite) : std::string();
  const RequestMethod method = context_.getDomains.methodFor(host, settings.HeaderRequestMethod);
  curl.easy_setopt(handle_, CURLOPT_NOBODY, method == RequestMethod::Head ? 1L : 0L);
  if (settings.CookiesDisabled == 1) curl.easy_setopt(handle_, CURLOPT_COOKIESESSION, 1L);

  const int64_t start = monotonicMs();
  const CURLcode result = curl.easy_perform(handle_);
  current_ = nullptr;
  if (result != CURLE_OK || !running()) return fail(hop);

  long statusCode = 0;
  curl.easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &statusCode);
  hop.statusCode = statusCode;
  if (hop.isRedirect()) {
    char* target = nullptr;
    curl.easy_getinfo(handle_, CURLINFO_REDIRECT_URL, &target);
    if (target == nullptr || *target == '\0') {
      hop.statusCode = 0;
      return fail(hop);
    }
    appendSanitizedUtf8(hop.redirectTarget, target);  // into the reused capacity
  }
  double length = -1;
  curl.easy_getinfo(handle_, CURLINFO_CONTENT_LENGTH_DOWNLOAD, &length);
  hop.size = std::llround(length);
  char* contentType = nullptr;
  curl.easy_getinfo(handle_, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType != nullptr) appendSanitizedUtf8(hop.contentType, contentType);

  if (context_.analyseHeaders) context_.analyseHeaders(hop);
  hop.responseTime = monotonicMs() - start;
}

void WorkerConnection::fail(HopRecord& hop) {
  hop.kind = kChainFailed;
  hop.statusText.assign(kFailurePrefix);
  appendSanitizedUtf8(hop.statusText, errorBuffer_.data());
}

size_t WorkerConnection::onHeader(char* data, size_t size, size_t count, void* self) {
  auto& connection = *static_cast<WorkerConnection*>(self);
  if (!connection.running()) return 0;
  HopRecord& hop = *connection.current_;
  const std::string_view line(data, size * count);
  if (hop.rawHeaders.size() + line.size() > kMaxRawHeaderBytes) return 0;

  // The status text comes from the status line of the last header block, so an interim
  // 1xx or a proxy's CONNECT answer does not name the final response.
  const bool firstLine = hop.rawHeaders.empty();
  if (connection.expectStatusLine_ && (firstLine || line.starts_with("HTTP/"))) {
    hop.statusText.clear();
    appendSanitizedUtf8(hop.statusText, statusTextOf(line));
    connection.expectStatusLine_ = false;
  } else if (isBlankLine(line)) {
    connection.expectStatusLine_ = true;
  }
  appendSanitizedUtf8(hop.rawHeaders, line);
  return size * count;
}

size_t WorkerConnection::onBody(char*, size_t size, size_t count, void*) { return size * count; }

curl_socket_t WorkerConnection::onOpenSocket(void* self, curlsocktype, curl_sockaddr* address) {
  const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (fd >= 0) static_cast<WorkerConnection*>(self)->context_.running->addSocket(fd);
  return fd >= 0 ? fd : CURL_SOCKET_BAD;
}

int WorkerConnection::onCloseSocket(void* self, curl_socket_t fd) {
  static_cast<WorkerConnection*>(self)->context_.running->removeSocket(fd);
  return ::close(fd);
}

int WorkerConnection::onProgress(void* self, double, double, double, double) {
  return static_cast<WorkerConnection*>(self)->running() ? 0 : 1;
}

}  // namespace tallyvane
