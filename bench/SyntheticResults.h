#pragma once
// Synthetic crawl results for the benchmarks: URLs of about 70 bytes, raw header blocks of about
// 400 bytes, one URL in five redirecting once.

#include <cstdio>
#include <string>
#include <vector>

#include "results/HopRecord.h"

namespace tallyvane::bench {

inline std::string syntheticUrl(size_t i) {
  char url[128];
  std::snprintf(url, sizeof url, "https://www.example-shop.com/category/sub-category/product-%09zu.html?ref=n", i);
  return url;
}

inline std::string syntheticHeaders(size_t i, int code) {
  std::string head = code == 301 ? "HTTP/1.1 301 Moved Permanently\r\n" : "HTTP/1.1 200 OK\r\n";
  head += "Date: Tue, 08 Dec 2026 03:21:56 GMT\r\nServer: nginx/1.22.1\r\n";
  head += "Content-Type: text/html; charset=UTF-8\r\nContent-Length: " + std::to_string(10000 + i % 90000) + "\r\n";
  head += "Connection: keep-alive\r\nCache-Control: max-age=3600, public\r\nX-Frame-Options: SAMEORIGIN\r\n";
  head += "Strict-Transport-Security: max-age=31536000; includeSubDomains\r\nVary: Accept-Encoding\r\n";
  head += "X-Content-Type-Options: nosniff\r\nX-Cache: HIT from edge-17\r\n";
  if (code == 301) head += "Location: " + syntheticUrl(i) + "-new\r\n";
  head += "\r\n";
  return head;
}

// Fills hops with the chain of URL number i (one in redirectEvery redirects once; 0: none does)
// and returns the bytes of text it holds.
inline size_t syntheticChain(std::vector<HopRecord>& hops, size_t i, size_t redirectEvery) {
  const bool redirects = redirectEvery != 0 && i % redirectEvery == 0;
  size_t textBytes = 0;
  for (size_t k = 0; k < (redirects ? 2u : 1u); ++k) {
    HopRecord& hop = hops[k];
    const int code = redirects && k == 0 ? 301 : 200;
    hop.url = k == 0 ? syntheticUrl(i) : syntheticUrl(i) + "-new";
    hop.statusCode = code;
    hop.statusText = code == 301 ? "Moved Permanently" : "OK";
    hop.contentType = "text/html; charset=UTF-8";
    hop.vary = "Accept-Encoding";
    hop.rawHeaders = syntheticHeaders(i, code);
    hop.size = 10000 + static_cast<int64_t>(i % 90000);
    hop.responseTime = static_cast<int64_t>(20 + i % 300);
    textBytes += hop.url.size() + hop.statusText.size() + hop.contentType.size() + hop.vary.size() + hop.rawHeaders.size();
  }
  hops[0].kind = kChainPlain;
  return textBytes;
}

}  // namespace tallyvane::bench
