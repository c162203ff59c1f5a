#pragma once
// libcurl bound at run time. No target links libcurl: the build places a copy next to the
// executables, an installed program takes the platform's own, and the entry points are resolved
// by name into a table.

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/UserInterface.h"
#include "engine/CurlApi.h"

namespace tallyvane {

inline constexpr std::string_view kCurlLibraryFileName = TALLYVANE_CURL_FILE_NAME;
// The platform's own libcurl, so an installed program gets the distribution's security updates.
inline constexpr std::string_view kPlatformCurlLibrary = "libcurl.so.4";
inline constexpr std::string_view kFatalErrorTitle = "Fatal Error";
inline constexpr std::string_view kCannotLoadCurlMessage = "Cannot load libcurl library";

class HttpLibrary {
 public:
  static constexpr size_t kEntryPointCount = 47;
  // Resolved in this order; the program calls fourteen of them (CurlApi).
  static const std::array<const char*, kEntryPointCount> kEntryPointNames;

  // Where the library is looked for, in order: the library file in directory, the same file by
  // bare name through the system's search, then the platform's libcurl by its soname.
  static std::vector<std::string> places(const std::string& directory);
  // Binds the first place that loads. Nothing when none loads or the one that loaded lacks a
  // called entry point.
  static std::unique_ptr<HttpLibrary> bindFirst(const std::vector<std::string>& places);
  static std::unique_ptr<HttpLibrary> bind(const std::string& directory) { return bindFirst(places(directory)); }

  ~HttpLibrary();
  HttpLibrary(const HttpLibrary&) = delete;
  HttpLibrary& operator=(const HttpLibrary&) = delete;

  // curl_global_init once for the process; the destructor then calls curl_global_cleanup.
  // Destroy the library only after every worker has left libcurl.
  bool initialise();

  const CurlApi& api() const { return api_; }
  void* entryPoint(size_t index) const { return entryPoints_[index]; }
  // The place it was loaded from, as given to bindFirst.
  const std::string& place() const { return place_; }

 private:
  HttpLibrary(void* handle, std::string place) : handle_(handle), place_(std::move(place)) {}
  bool resolve();

  void* handle_;
  std::string place_;
  std::array<void*, kEntryPointCount> entryPoints_{};
  CurlApi api_;
  bool initialised_ = false;
};

// Start-up: binds and initialises libcurl, or shows "Cannot load libcurl library" titled
// "Fatal Error"; the caller then ends the program.
std::unique_ptr<HttpLibrary> startHttpLibrary(const std::string& directory, UserInterface& ui);

}  // namespace tallyvane
