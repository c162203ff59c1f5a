#pragma once
// libcurl bound at run time. No target links libcurl: the library file sits next to the
// executables and its entry points are resolved by name into a table.

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "app/UserInterface.h"
#include "engine/CurlApi.h"

namespace tallyvane {

inline constexpr std::string_view kCurlLibraryFileName = TALLYVANE_CURL_FILE_NAME;
inline constexpr std::string_view kFatalErrorTitle = "Fatal Error";
inline constexpr std::string_view kCannotLoadCurlMessage = "Cannot load libcurl library";

class HttpLibrary {
 public:
  static constexpr size_t kEntryPointCount = 47;
  // Resolved in this order; the program calls fourteen of them (CurlApi).
  static const std::array<const char*, kEntryPointCount> kEntryPointNames;

  // Loads the library file from directory, then by bare name through the system's search.
  // Nothing when neither loads or one of the called entry points is missing.
  static std::unique_ptr<HttpLibrary> bind(const std::string& directory);

  ~HttpLibrary();
  HttpLibrary(const HttpLibrary&) = delete;
  HttpLibrary& operator=(const HttpLibrary&) = delete;

  // curl_global_init once for the process; the destructor then calls curl_global_cleanup.
  // Destroy the library only after every worker has left libcurl.
  bool initialise();

  const CurlApi& api() const { return api_; }
  void* entryPoint(size_t index) const { return entryPoints_[index]; }

 private:
  explicit HttpLibrary(void* handle) : handle_(handle) {}
  bool resolve();

  void* handle_;
  std::array<void*, kEntryPointCount> entryPoints_{};
  CurlApi api_;
  bool initialised_ = false;
};

// Start-up: binds and initialises libcurl, or shows "Cannot load libcurl library" titled
// "Fatal Error"; the caller then ends the program.
std::unique_ptr<HttpLibrary> startHttpLibrary(const std::string& directory, UserInterface& ui);

}  // namespace tallyvane
