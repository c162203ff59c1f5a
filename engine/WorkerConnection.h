#pragma once
// One worker's libcurl easy handle with the options that stay the same for all its requests,
// and one request (hop) on it. Used by one worker thread only.

#include <array>
#include <string>
#include <string_view>

#include "base/ThreadAffinity.h"
#include "engine/CurlHandles.h"
#include "engine/RequestContext.h"
#include "results/HopRecord.h"

namespace tallyvane {

inline constexpr std::string_view kNoCurlHandleTitle = "Fatal";
inline constexpr std::string_view kNoCurlHandleMessage = "Cannot initialize LibCURL handle";
// Starts the status text of every failed hop.
inline constexpr std::string_view kFailurePrefix = "LibCurl:";

// A server sending more header bytes than this in one hop fails the hop. Below libcurl's own
// limit (300 KB), so the program's cap is the one that holds whatever the library.
inline constexpr size_t kMaxRawHeaderBytes = size_t{256} << 10;
// What a failed hop keeps of the header block it received: enough to see what went wrong.
inline constexpr size_t kMaxFailedHopHeaderBytes = size_t{16} << 10;

inline constexpr std::string_view kHeadersTooLargeReason = "Response headers larger than 256 KB";
inline constexpr std::string_view kNotHttpReason = "Not requested: not an http or https URL";
inline constexpr std::string_view kNoRedirectTargetReason = "Redirect without a usable Location header";

class WorkerConnection {
 public:
  explicit WorkerConnection(const RequestContext& context) : context_(context), running_(*context.running) {}
  ~WorkerConnection();
  WorkerConnection(const WorkerConnection&) = delete;
  WorkerConnection& operator=(const WorkerConnection&) = delete;

  // False when libcurl cannot create a handle.
  bool setUp();

  // Requests hop.url and fills the rest of the record. The outcome is in the record.
  void performHop(HopRecord& hop);

  // From now on the body of each transfer is kept in body (emptied as the transfer starts)
  // instead of dropped; a body of more than limit bytes fails the hop. For a document fetched
  // whole, such as a sitemap. Called after setUp().
  void keepBodies(std::string* body, size_t limit);

 private:
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  static int onProgress(void* self, double, double, double, double);
  void setText(CURLoption option, const std::string& text);
  void limitToHttp(const curl_version_info_data* library);
  void buildCustomHeaders();
  void applyConnectionOptions();
  bool prepareRequestUrl(HopRecord& hop);
  // One request of the hop; its header lines are appended to the hop's.
  CURLcode transfer(HopRecord& hop, RequestMethod method);
  void fail(HopRecord& hop, std::string_view reason);
  std::string_view failureReason(CURLcode result) const;
  bool running() const { return running_.isSet(); }

  const RequestContext& context_;
  const ThreadOwner owner_;  // the worker that made it
  // Read at every progress call: held here, one load from the flag, not two.
  const RunningFlag& running_;
  // Declared before the handle, which refers to it, so it is freed after the handle.
  CurlStringList customHeaders_;
  CurlStringList resolve_;
  CurlEasyHandle handle_;
  std::array<char, CURL_ERROR_SIZE> errorBuffer_{};
  std::string requestUrl_;  // reused: no allocation per request
  HopRecord* current_ = nullptr;
  bool expectStatusLine_ = false;
  bool headersTooLarge_ = false;
  std::string* body_ = nullptr;  // where bodies go when kept
  size_t bodyLimit_ = 0;
  bool bodyTooLarge_ = false;
  std::string bodyTooLargeReason_;
  bool analysedHeaderSeen_ = false;  // a line of this hop's headers that the analysis reads
};

}  // namespace tallyvane
