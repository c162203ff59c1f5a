#include "demo/DemoSite.h"

#include <chrono>

namespace tallyvane::demo {
namespace {

constexpr const char* kPaths[] = {
    "/",          "/about",     "/old-page",     "/spring-sale", "/chain/1",  "/loop/a",
    "/products/", "/missing",   "/discontinued", "/maintenance", "/slow",     "/private",
};

void page(ScriptedHttpServer& server, const std::string& path, std::vector<std::string> headers = {}) {
  headers.insert(headers.begin(), "Content-Type: text/html; charset=utf-8");
  server.route(path, [headers](const ReceivedRequest& r) {
    return reply(r, "HTTP/1.1 200 OK", headers, "<!doctype html><title>Demo</title><p>Tallyvane demo page</p>");
  });
}

void redirect(ScriptedHttpServer& server, const std::string& from, int code, const std::string& to) {
  server.route(from, [code, to](const ReceivedRequest& r) {
    const char* reason = code == 301 ? " Moved Permanently" : " Found";
    return reply(r, "HTTP/1.1 " + std::to_string(code) + reason, {"Location: " + to});
  });
}

void answer(ScriptedHttpServer& server, const std::string& path, const std::string& statusLine) {
  server.route(path, [statusLine](const ReceivedRequest& r) {
    return reply(r, statusLine, {"Content-Type: text/plain"}, statusLine);
  });
}

}  // namespace

DemoSite::DemoSite() {
  const std::string origin = server_.origin();
  page(server_, "/",
       {"Link: <" + origin + "/>; rel=\"canonical\"",
        "Link: <" + origin + "/de/>; rel=\"alternate\"; hreflang=\"de\", <" + origin +
            "/fr/>; rel=\"alternate\"; hreflang=\"fr\"",
        "Vary: Accept-Encoding"});
  page(server_, "/about");
  page(server_, "/new-page");
  page(server_, "/products/shoes");
  redirect(server_, "/old-page", 301, "/new-page");
  redirect(server_, "/spring-sale", 302, "/products/shoes");
  redirect(server_, "/chain/1", 301, "/chain/2");
  redirect(server_, "/chain/2", 301, "/chain/3");
  redirect(server_, "/chain/3", 301, "/about");
  redirect(server_, "/loop/a", 301, "/loop/b");
  redirect(server_, "/loop/b", 302, "/loop/a");
  redirect(server_, "/products/", 301, "/products/shoes");
  answer(server_, "/missing", "HTTP/1.1 404 Not Found");
  answer(server_, "/discontinued", "HTTP/1.1 410 Gone");
  answer(server_, "/maintenance", "HTTP/1.1 503 Service Unavailable");
  server_.route("/slow", [](const ReceivedRequest& r) {
    ScriptedReply slow = reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html"}, "<p>slow</p>");
    slow.delay = std::chrono::milliseconds(2100);  // over the slow-page threshold
    return slow;
  });
  page(server_, "/private", {"X-Robots-Tag: noindex, nofollow", "Vary: User-Agent, Accept-Encoding"});
}

std::vector<std::string> DemoSite::urls() const {
  std::vector<std::string> list;
  for (const char* path : kPaths) list.push_back(server_.url(path));
  return list;
}

}  // namespace tallyvane::demo
