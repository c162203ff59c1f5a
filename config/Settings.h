#pragma once
// The settings record: one per process, named by the keys of the settings file.
// Changed only while no crawl runs; workers read it without a lock.

#include <cstdint>
#include <string>

namespace tallyvane {

struct Settings {
  // Proxy
  int64_t UseProxy = 0;
  std::string Addr;
  std::string Port;
  std::string User;
  std::string Password;
  // RewriteRules
  std::string Rules;
  int64_t RewriteURLs = 0;
  // HEADGET
  std::string GETDomains;
  int64_t HeaderRequestMethod = 0;
  // Requests
  std::string CustomHeaders;
  int64_t CookiesDisabled = 1;
  int64_t UseCustomHeaders = 0;
  // Threads
  int64_t NumThreads = 30;
  // URLChecking
  int64_t CheckLinksInHeaders = 0;
  // UserAgents
  int64_t UserAgent = 1;

  // Kept in the record but never stored in the file.
  int64_t slowPageThresholdMs = 2000;
};

}  // namespace tallyvane
