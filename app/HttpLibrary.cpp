#include "app/HttpLibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>

namespace tallyvane {

const std::array<const char*, HttpLibrary::kEntryPointCount> HttpLibrary::kEntryPointNames = {
    "curl_easy_cleanup", "curl_easy_duphandle", "curl_easy_getinfo", "curl_easy_init",
    "curl_easy_perform", "curl_easy_reset", "curl_easy_setopt", "curl_easy_strerror",
    "curl_escape", "curl_formadd", "curl_formfree", "curl_free", "curl_getdate", "curl_getenv",
    "curl_global_cleanup", "curl_global_init", "curl_global_init_mem",
    "curl_mprintf", "curl_mfprintf", "curl_msprintf", "curl_msnprintf", "curl_mvprintf",
    "curl_mvfprintf", "curl_mvsprintf", "curl_mvsnprintf", "curl_maprintf", "curl_mvaprintf",
    "curl_multi_add_handle", "curl_multi_cleanup", "curl_multi_fdset", "curl_multi_info_read",
    "curl_multi_init", "curl_multi_perform", "curl_multi_remove_handle", "curl_multi_strerror",
    "curl_multi_wait",
    "curl_share_cleanup", "curl_share_init", "curl_share_setopt", "curl_share_strerror",
    "curl_slist_append", "curl_slist_free_all",
    "curl_strequal", "curl_strnequal", "curl_unescape", "curl_version", "curl_version_info",
};

namespace {

std::atomic<bool> globalInitDone{false};

template <typename Function>
bool take(Function& slot, void* symbol) {
  // POSIX guarantees a data pointer from dlsym can hold a function pointer.
  static_assert(sizeof(slot) == sizeof(symbol));
  std::memcpy(&slot, &symbol, sizeof(slot));
  return symbol != nullptr;
}

}  // namespace

std::vector<std::string> HttpLibrary::places(const std::string& directory) {
  const std::string fileName(kCurlLibraryFileName);
  std::string besideProgram = directory;
  if (!besideProgram.empty() && besideProgram.back() != '/') besideProgram.push_back('/');
  besideProgram += fileName;
  return {besideProgram, fileName, std::string(kPlatformCurlLibrary)};
}

std::unique_ptr<HttpLibrary> HttpLibrary::bindFirst(const std::vector<std::string>& places) {
  for (const std::string& place : places) {
    void* handle = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) continue;
    std::unique_ptr<HttpLibrary> library(new HttpLibrary(handle, place));
    if (!library->resolve()) return nullptr;
    return library;
  }
  return nullptr;
}

bool HttpLibrary::resolve() {
  for (size_t i = 0; i < kEntryPointCount; ++i) entryPoints_[i] = dlsym(handle_, kEntryPointNames[i]);
  auto symbol = [&](std::string_view name) -> void* {
    for (size_t i = 0; i < kEntryPointCount; ++i) {
      if (name == kEntryPointNames[i]) return entryPoints_[i];
    }
    return nullptr;
  };
  bool complete = true;
  complete &= take(api_.global_init, symbol("curl_global_init"));
  complete &= take(api_.global_cleanup, symbol("curl_global_cleanup"));
  complete &= take(api_.easy_init, symbol("curl_easy_init"));
  complete &= take(api_.easy_setopt, symbol("curl_easy_setopt"));
  complete &= take(api_.easy_perform, symbol("curl_easy_perform"));
  complete &= take(api_.easy_getinfo, symbol("curl_easy_getinfo"));
  complete &= take(api_.easy_cleanup, symbol("curl_easy_cleanup"));
  complete &= take(api_.easy_strerror, symbol("curl_easy_strerror"));
  complete &= take(api_.slist_append, symbol("curl_slist_append"));
  complete &= take(api_.slist_free_all, symbol("curl_slist_free_all"));
  complete &= take(api_.share_init, symbol("curl_share_init"));
  complete &= take(api_.share_setopt, symbol("curl_share_setopt"));
  complete &= take(api_.share_cleanup, symbol("curl_share_cleanup"));
  complete &= take(api_.version_info, symbol("curl_version_info"));
  return complete;
}

HttpLibrary::~HttpLibrary() {
  if (initialised_) api_.global_cleanup();
  dlclose(handle_);
}

bool HttpLibrary::initialise() {
  // libcurl's global state must be set up once per process, whatever binds it.
  if (globalInitDone.exchange(true)) return false;
  initialised_ = api_.global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  return initialised_;
}

std::unique_ptr<HttpLibrary> startHttpLibrary(const std::string& directory, UserInterface& ui) {
  auto library = HttpLibrary::bind(directory);
  if (!library || !library->initialise()) {
    ui.showMessage(kFatalErrorTitle, kCannotLoadCurlMessage);
    return nullptr;
  }
  return library;
}

}  // namespace tallyvane
