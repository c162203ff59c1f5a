#pragma once
// A small site on 127.0.0.1 with every kind of answer Tallyvane reports: pages, 301 and 302
// redirects, a chain, a loop, 4xx and 5xx answers, a slow page and headers worth analysing.
// Serves the demo command and the tests alike.

#include <string>
#include <vector>

#include "demo/ScriptedHttpServer.h"

namespace tallyvane::demo {

class DemoSite {
 public:
  DemoSite();
  // The site's URL list, in the order a user's list would hold it.
  std::vector<std::string> urls() const;
  const ScriptedHttpServer& server() const { return server_; }

 private:
  ScriptedHttpServer server_;
};

}  // namespace tallyvane::demo
