#pragma once
// An HTTP server on 127.0.0.1 and an ephemeral port whose answers are scripted per test as
// exact bytes. It records every request it receives so tests can assert what was sent. It also
// accepts absolute-form request lines, so it can stand in for a proxy. With TLS enabled the same
// port answers both https and plain http (a TLS handshake starts with byte 0x16), so the http
// and https forms of one host and port can both be served.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "demo/TlsIdentity.h"

struct ssl_ctx_st;

namespace tallyvane::demo {

struct ReceivedRequest {
  int connection = 0;  // which TCP connection carried it, counted from 1
  bool tls = false;    // it came over TLS (https)
  std::string method;
  std::string target;  // as on the request line
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;
  std::chrono::steady_clock::time_point received;  // when its head had come in whole

  // The first header of that name, ignoring case; "" when absent.
  std::string header(std::string_view name) const;
  bool hasHeader(std::string_view name) const;
  // The target's path without query, also for absolute-form targets.
  std::string path() const;
  // The Host header without its port, in lower case.
  std::string hostName() const;
};

struct ScriptedReply {
  std::string bytes;                   // written exactly as given
  std::chrono::milliseconds delay{0};  // before the first byte
  bool hang = false;                   // then keep the connection open and never finish
  bool close = false;                  // then close the connection
  // Then send these bytes again and again, pausing between, until the client goes away: a
  // dripping server, an endless body, endless header lines.
  std::string repeat{};
  std::chrono::milliseconds repeatEvery{0};
};

using Route = std::function<ScriptedReply(const ReceivedRequest&)>;

// A complete response with Content-Length; the body is left out for HEAD requests.
ScriptedReply reply(const ReceivedRequest& request, std::string_view statusLine,
                    const std::vector<std::string>& headerLines = {}, std::string_view body = "");
ScriptedReply redirectTo(const ReceivedRequest& request, int code, std::string_view location);

class ScriptedHttpServer {
 public:
  ScriptedHttpServer();
  ~ScriptedHttpServer();
  ScriptedHttpServer(const ScriptedHttpServer&) = delete;
  ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

  uint16_t port() const { return port_; }
  // From now on connections that start a TLS handshake are served over TLS with this identity.
  void enableTls(const TlsIdentity& identity);
  std::string origin() const;                    // "http://127.0.0.1:PORT"
  std::string url(std::string_view path) const;  // origin() + path

  // Routes match the path exactly (the query is not part of it); others get the fallback,
  // a 404 unless set.
  void route(const std::string& path, Route route);
  void fixed(const std::string& path, std::string bytes);
  void fallback(Route route);

  std::vector<ReceivedRequest> requests() const;
  size_t requestCount(std::string_view path) const;
  // The most requests to one host name (ReceivedRequest::hostName) that were in flight at once:
  // received and their answer not yet begun.
  int mostInFlight(std::string_view hostName) const;

 private:
  void acceptLoop();
  void serve(int fd, int connection);
  void serveOn(int fd, int connection, ssl_ctx_st* tls);
  ScriptedReply answer(const ReceivedRequest& request) const;
  bool waitUnlessStopping(std::chrono::milliseconds duration);  // false when stopping

  ssl_ctx_st* tls_ = nullptr;  // set once, before connections use it
  int listenFd_ = -1;
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::map<std::string, Route> routes_;
  Route fallback_;
  std::vector<ReceivedRequest> log_;
  std::map<std::string, std::pair<int, int>, std::less<>> inFlight_;  // host name: now, most
  std::vector<int> clientFds_;
  std::vector<std::thread> connectionThreads_;
  int connectionsAccepted_ = 0;
  std::thread acceptThread_;
};

}  // namespace tallyvane::demo
