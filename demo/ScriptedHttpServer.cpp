#include "demo/ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <stdexcept>

#include "base/Text.h"

namespace tallyvane::demo {
namespace {

constexpr size_t kMaxRequestHead = 1 << 20;

constexpr unsigned char kTlsHandshake = 0x16;

// One accepted connection, plain or over TLS.
class Channel {
 public:
  Channel(int fd, SSL_CTX* tls) : fd_(fd) {
    unsigned char first = 0;
    if (tls == nullptr || ::recv(fd, &first, 1, MSG_PEEK) != 1 || first != kTlsHandshake) return;
    ssl_ = SSL_new(tls);
    if (ssl_ != nullptr) SSL_set_fd(ssl_, fd);
    if (ssl_ == nullptr || SSL_accept(ssl_) != 1) broken_ = true;
  }
  ~Channel() {
    if (ssl_ == nullptr) return;
    if (!broken_) SSL_shutdown(ssl_);
    SSL_free(ssl_);
  }
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  bool tls() const { return ssl_ != nullptr; }
  bool broken() const { return broken_; }

  ssize_t receive(char* buffer, size_t size) {
    if (ssl_ == nullptr) return ::recv(fd_, buffer, size, 0);
    const int got = SSL_read(ssl_, buffer, static_cast<int>(size));
    if (got <= 0) broken_ = true;
    return got;
  }

  bool sendAll(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = ssl_ == nullptr ? ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                                           : SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()));
      if (sent <= 0) {
        broken_ = true;
        return false;
      }
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
  }

 private:
  int fd_;
  SSL* ssl_ = nullptr;
  bool broken_ = false;
};

std::string_view trimmed(std::string_view text) { return trimBlanksAndTabs(text); }

// Parses the head of one request (request line and header lines, CR LF separated).
ReceivedRequest parseHead(std::string_view head, int connection) {
  ReceivedRequest request;
  request.connection = connection;
  const size_t lineEnd = head.find("\r\n");
  const std::string_view requestLine = head.substr(0, lineEnd);
  const size_t firstSpace = requestLine.find(' ');
  const size_t lastSpace = requestLine.rfind(' ');
  request.method = std::string(requestLine.substr(0, firstSpace));
  if (firstSpace != std::string_view::npos && lastSpace > firstSpace) {
    request.target = std::string(requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1));
    request.version = std::string(requestLine.substr(lastSpace + 1));
  }
  std::string_view rest = lineEnd == std::string_view::npos ? "" : head.substr(lineEnd + 2);
  while (!rest.empty()) {
    const size_t end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? "" : rest.substr(end + 2);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(trimmed(line.substr(colon + 1))));
  }
  return request;
}

bool wantsClose(const ReceivedRequest& request, const ScriptedReply& reply) {
  if (reply.close) return true;
  if (equalsIgnoreCase(request.header("Connection"), "close")) return true;
  const size_t headEnd = reply.bytes.find("\r\n\r\n");
  std::string head = reply.bytes.substr(0, headEnd);
  std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
  return head.find("\r\nconnection: close") != std::string::npos;
}

}  // namespace

std::string ReceivedRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (equalsIgnoreCase(key, name)) return value;
  }
  return {};
}

bool ReceivedRequest::hasHeader(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return equalsIgnoreCase(h.first, name); });
}

std::string ReceivedRequest::path() const {
  std::string_view t = target;
  const size_t scheme = t.find("://");
  if (scheme != std::string_view::npos) {
    const size_t slash = t.find('/', scheme + 3);
    t = slash == std::string_view::npos ? "/" : t.substr(slash);
  }
  return std::string(t.substr(0, t.find('?')));
}

std::string ReceivedRequest::hostName() const {
  std::string host = header("Host");
  const size_t bracket = host.rfind(']');
  const size_t colon = host.rfind(':');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) host.resize(colon);
  std::transform(host.begin(), host.end(), host.begin(), asciiLower);
  return host;
}

ScriptedReply reply(const ReceivedRequest& request, std::string_view statusLine,
                    const std::vector<std::string>& headerLines, std::string_view body) {
  std::string bytes(statusLine);
  bytes += "\r\n";
  for (const std::string& line : headerLines) bytes += line + "\r\n";
  bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  if (request.method != "HEAD") bytes += body;
  return ScriptedReply{std::move(bytes)};
}

ScriptedReply redirectTo(const ReceivedRequest& request, int code, std::string_view location) {
  const std::string statusLine = "HTTP/1.1 " + std::to_string(code) + " Redirect";
  return reply(request, statusLine, {"Location: " + std::string(location)});
}

ScriptedHttpServer::ScriptedHttpServer() {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  const int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 512) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

void ScriptedHttpServer::enableTls(const TlsIdentity& identity) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr) throw std::runtime_error("cannot create a TLS context");
  const auto load = [&](const std::string& pem, auto use) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    const bool ok = bio != nullptr && use(bio);
    BIO_free(bio);
    return ok;
  };
  const bool ok = load(identity.certificatePem,
                       [&](BIO* bio) {
                         X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
                         const bool used = certificate != nullptr && SSL_CTX_use_certificate(context, certificate) == 1;
                         X509_free(certificate);
                         return used;
                       }) &&
                  load(identity.keyPem, [&](BIO* bio) {
                    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
                    const bool used = key != nullptr && SSL_CTX_use_PrivateKey(context, key) == 1;
                    EVP_PKEY_free(key);
                    return used;
                  });
  if (!ok) {
    SSL_CTX_free(context);
    throw std::runtime_error("cannot use the TLS identity");
  }
  // TLS writes go through write(), which raises SIGPIPE when a client has gone.
  std::signal(SIGPIPE, SIG_IGN);
  std::lock_guard lock(mutex_);
  if (tls_ != nullptr) SSL_CTX_free(tls_);
  tls_ = context;
}

ScriptedHttpServer::~ScriptedHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (int fd : clientFds_) ::shutdown(fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  ::shutdown(listenFd_, SHUT_RDWR);
  acceptThread_.join();
  ::close(listenFd_);
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(connectionThreads_);
  }
  for (auto& thread : threads) thread.join();
  if (tls_ != nullptr) SSL_CTX_free(tls_);
}

std::string ScriptedHttpServer::origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string ScriptedHttpServer::url(std::string_view path) const { return origin() + std::string(path); }

void ScriptedHttpServer::route(const std::string& path, Route route) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(route);
}

void ScriptedHttpServer::fixed(const std::string& path, std::string bytes) {
  route(path, [bytes = std::move(bytes)](const ReceivedRequest&) { return ScriptedReply{bytes}; });
}

void ScriptedHttpServer::fallback(Route route) {
  std::lock_guard lock(mutex_);
  fallback_ = std::move(route);
}

std::vector<ReceivedRequest> ScriptedHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return log_;
}

int ScriptedHttpServer::mostInFlight(std::string_view hostName) const {
  std::lock_guard lock(mutex_);
  const auto found = inFlight_.find(hostName);
  return found == inFlight_.end() ? 0 : found->second.second;
}

size_t ScriptedHttpServer::requestCount(std::string_view path) const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count_if(log_.begin(), log_.end(), [&](const auto& r) { return r.path() == path; }));
}

void ScriptedHttpServer::acceptLoop() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard lock(mutex_);
    if (stopping_) {
      if (fd >= 0) ::close(fd);
      return;
    }
    if (fd < 0) continue;
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    clientFds_.push_back(fd);
    const int connection = ++connectionsAccepted_;
    connectionThreads_.emplace_back([this, fd, connection] { serve(fd, connection); });
  }
}

ScriptedReply ScriptedHttpServer::answer(const ReceivedRequest& request) const {
  Route route;
  {
    std::lock_guard lock(mutex_);
    const auto found = routes_.find(request.path());
    if (found != routes_.end()) {
      route = found->second;
    } else {
      route = fallback_;
    }
  }
  if (route) return route(request);
  return reply(request, "HTTP/1.1 404 Not Found", {"Content-Type: text/plain"}, "not found");
}

bool ScriptedHttpServer::waitUnlessStopping(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return !stopped_.wait_for(lock, duration, [this] { return stopping_; });
}

void ScriptedHttpServer::serve(int fd, int connection) {
  SSL_CTX* tls;
  {
    std::lock_guard lock(mutex_);
    tls = tls_;
  }
  // The channel ends (and TLS closes) before the socket does.
  serveOn(fd, connection, tls);
  std::lock_guard lock(mutex_);
  clientFds_.erase(std::remove(clientFds_.begin(), clientFds_.end(), fd), clientFds_.end());
  ::close(fd);
}

void ScriptedHttpServer::serveOn(int fd, int connection, ssl_ctx_st* tls) {
  Channel channel(fd, tls);
  if (channel.broken()) return;
  std::string buffer;
  char chunk[16384];
  for (;;) {
    size_t headEnd;
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
      if (buffer.size() > kMaxRequestHead) break;
      const ssize_t got = channel.receive(chunk, sizeof chunk);
      if (got <= 0) {
        headEnd = std::string::npos;
        break;
      }
      buffer.append(chunk, static_cast<size_t>(got));
    }
    if (headEnd == std::string::npos) break;
    ReceivedRequest request = parseHead(std::string_view(buffer).substr(0, headEnd), connection);
    request.tls = channel.tls();
    buffer.erase(0, headEnd + 4);
    // Request bodies are read and dropped.
    const std::string contentLength = request.header("Content-Length");
    size_t bodyLeft = contentLength.empty() ? 0 : std::stoul(contentLength);
    while (buffer.size() < bodyLeft) {
      const ssize_t got = channel.receive(chunk, sizeof chunk);
      if (got <= 0) break;
      buffer.append(chunk, static_cast<size_t>(got));
    }
    buffer.erase(0, std::min(bodyLeft, buffer.size()));
    request.received = std::chrono::steady_clock::now();
    const std::string host = request.hostName();
    {
      std::lock_guard lock(mutex_);
      log_.push_back(request);
      auto& [now, most] = inFlight_[host];
      most = std::max(most, ++now);
    }
    // In flight until its answer starts: a client that is sent the answer may start its next
    // request before this thread could count the first one done.
    struct InFlight {
      ScriptedHttpServer& server;
      const std::string& host;
      bool counted = true;
      void end() {
        if (!std::exchange(counted, false)) return;
        std::lock_guard lock(server.mutex_);
        --server.inFlight_[host].first;
      }
      ~InFlight() { end(); }
    } inFlight{*this, host};
    const ScriptedReply scripted = answer(request);
    if (scripted.delay.count() > 0 && !waitUnlessStopping(scripted.delay)) break;
    inFlight.end();
    if (!channel.sendAll(scripted.bytes)) break;
    if (!scripted.repeat.empty()) {
      while (channel.sendAll(scripted.repeat) && waitUnlessStopping(scripted.repeatEvery)) {
      }
      break;
    }
    if (scripted.hang) {
      waitUnlessStopping(std::chrono::hours(1));
      break;
    }
    if (wantsClose(request, scripted)) break;
  }
}

}  // namespace tallyvane::demo
