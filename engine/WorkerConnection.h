#pragma once
// One worker's libcurl easy handle with the options that stay the same for all its requests,
// and one request (hop) on it. Used by one worker thread only.

#include <array>
#include <string>

#include "engine/RequestContext.h"
#include "results/HopRecord.h"

namespace tallyvane {

inline constexpr std::string_view kNoCurlHandleTitle = "Fatal";
inline constexpr std::string_view kNoCurlHandleMessage = "Cannot initialize LibCURL handle";
inline constexpr std::string_view kFailurePrefix = "LibCurl:";

// A server sending more header bytes than this in one hop fails the hop.
inline constexpr size_t kMaxRawHeaderBytes = size_t{1} << 20;

class WorkerConnection {
 public:
  explicit WorkerConnection(const RequestContext& context) : context_(context) {}
  ~WorkerConnection();
  WorkerConnection(const WorkerConnection&) = delete;
  WorkerConnection& operator=(const WorkerConnection&) = delete;

  // False when libcurl cannot create a handle.
  bool setUp();

  // Requests hop.url and fills the rest of the record. The outcome is in the record.
  void performHop(HopRecord& hop);

 private:
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  static int onProgress(void* self, double, double, double, double);
  static curl_socket_t onOpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address);
  static int onCloseSocket(void* self, curl_socket_t fd);
  void setText(CURLoption option, const std::string& text);
  void buildCustomHeaders();
  void fail(HopRecord& hop);
  bool running() const { return context_.running->isSet(); }

  const RequestContext& context_;
  CURL* handle_ = nullptr;
  curl_slist* customHeaders_ = nullptr;
  curl_slist* resolve_ = nullptr;
  std::array<char, CURL_ERROR_SIZE> errorBuffer_{};
  std::string requestUrl_;  // reused: no allocation per request
  HopRecord* current_ = nullptr;
  bool expectStatusLine_ = false;
};

}  // namespace tallyvane
