#pragma once
// A worker's view of the engine against the test server: settings, share handle, connection.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "app/CurlShare.h"
#include "engine/RedirectChain.h"
#include "engine/WorkerConnection.h"
#include "tests/support/CurlEnvironment.h"
#include "demo/ScriptedHttpServer.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;

class EngineFixture : public ::testing::Test {
 protected:
  WorkerConnection& connection() {
    if (!connection_) {
      context.curl = &curlApi();
      context.settings = &settings;
      context.getDomains.rebuild(settings.GETDomains);
      context.running = &running;
      share_ = CurlShare::create(curlApi(), settings.CookiesDisabled == CookiesChoice::Enabled);
      context.share = share_->handle();
      connection_ = std::make_unique<WorkerConnection>(context);
      EXPECT_TRUE(connection_->setUp());
    }
    return *connection_;
  }

  HopRecord fetch(const std::string& url) {
    HopRecord hop;
    hop.url = url;
    connection().performHop(hop);
    return hop;
  }

  // Follows the chain of url; returns the redirect count, -1 when stopped.
  int follow(const std::string& url) {
    hops[0].url = url;
    const ChainOutcome end = checkUrlChain(connection(), hops, running);
    return end.kind == ChainOutcome::Kind::Done ? end.hop : -1;
  }

  // The next request sets the connection up anew, with the settings as they are then.
  void reconnect() {
    connection_.reset();
    share_.reset();
  }

  void TearDown() override { reconnect(); }

  ScriptedHttpServer server;
  Settings settings;
  RequestContext context;
  RunningFlag running;
  std::array<HopRecord, kHopsPerChain> hops;

 private:
  std::unique_ptr<CurlShare> share_;
  std::unique_ptr<WorkerConnection> connection_;
};

}  // namespace tallyvane::testing
