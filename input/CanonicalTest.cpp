#include "input/CanonicalTest.h"

#include <algorithm>

#include "base/Text.h"
#include "input/UrlParts.h"

namespace tallyvane {
namespace {

constexpr size_t kMaxHeaderEntries = 100;
constexpr std::string_view kWww = "www.";

std::string lowerCased(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

size_t dotsIn(std::string_view host) { return static_cast<size_t>(std::count(host.begin(), host.end(), '.')); }

using HeaderTable = std::vector<std::pair<std::string, std::string>>;

// "max-age=0" and "max-age=\"00\"" fail; any other value, or no max-age directive, passes.
bool zeroMaxAge(std::string_view value) {
  bool decided = false;
  bool zero = false;
  forEachSeparated(value, ';', [&](std::string_view raw) {
    if (decided) return;
    const std::string directive(trimBlanks(lowerCased(raw)));
    const size_t equals = directive.find('=');
    if (directive.substr(0, equals) != "max-age") return;
    decided = true;
    std::string_view age =
        equals == std::string::npos ? std::string_view() : std::string_view(directive).substr(equals + 1);
    age = age.substr(0, age.find('='));
    while (age.starts_with('"')) age.remove_prefix(1);
    while (age.ends_with('"')) age.remove_suffix(1);
    zero = !age.empty() && age.find_first_not_of('0') == std::string_view::npos;
  });
  return zero;
}

bool secureCookie(std::string_view value) {
  bool secure = false;
  forEachSeparated(value, ';', [&](std::string_view attribute) {
    if (trimBlanks(lowerCased(attribute)) == "secure") secure = true;
  });
  return secure;
}

const std::string* firstNamed(const HeaderTable& table, std::string_view name) {
  for (const auto& [key, value] : table) {
    if (key == name) return &value;
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> canonicalVariants(std::string_view url) {
  std::vector<std::string> variants;
  const std::string site = lowerCased(getUrlPart(url, kPartSite));
  if (site.find('.') == std::string::npos) return variants;
  const std::string protocol = lowerCased(getUrlPart(url, kPartProtocol));
  if (protocol == "http") variants.push_back(setUrlPart(url, kPartProtocol, "https"));
  if (protocol == "https") variants.push_back(setUrlPart(url, kPartProtocol, "http"));
  // "www." counts as the first label only: a host such as "awww.example" has no www form.
  const bool www = site.starts_with(kWww);
  if (!www && dotsIn(site) >= 2) return variants;
  const std::string otherSite = www ? site.substr(kWww.size()) : std::string(kWww) + site;
  const std::string otherHost = setUrlPart(url, kPartSite, otherSite);
  variants.push_back(setUrlPart(otherHost, kPartProtocol, "https"));
  variants.push_back(setUrlPart(otherHost, kPartProtocol, "http"));
  return variants;
}

std::string expectedCanonicalUrl(std::string_view url, CanonicalForm form) {
  const bool https = form == CanonicalForm::Https || form == CanonicalForm::HttpsWww;
  const bool withWww = form == CanonicalForm::HttpsWww || form == CanonicalForm::HttpWww;
  std::string expected = setUrlPart(url, kPartProtocol, https ? "https" : "http");
  const std::string host = lowerCased(getUrlPart(expected, kPartSite));
  if (withWww && !host.starts_with(kWww) && dotsIn(host) == 1) {
    expected = setUrlPart(expected, kPartSite, std::string(kWww) + host);
  } else if (!withWww && host.starts_with(kWww) && dotsIn(host) == 2) {
    expected = setUrlPart(expected, kPartSite, host.substr(kWww.size()));
  }
  return expected;
}

HeaderTable headerTable(std::string_view rawHeaders) {
  HeaderTable table;
  forEachCrLfLine(rawHeaders, [&](std::string_view line) {
    if (table.size() >= kMaxHeaderEntries) return;
    if (!line.empty() && (line[0] == ' ' || static_cast<unsigned char>(line[0]) < 10)) {
      if (!table.empty()) table.back().second.append(" ").append(trimBlanks(line));
      return;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    table.emplace_back(lowerCased(line.substr(0, colon)), std::string(trimBlanks(line.substr(colon + 1))));
  });
  return table;
}

TestVerdict evaluateCanonical(const ChainOutline& chain, const CanonicalOptions& options) {
  if (auto early = earlyVerdict(chain.end)) return *early;
  const int h = chain.redirects();
  const OutlineHop& start = chain.hops.front();
  const OutlineHop& final = chain.hops.back();
  if (getUrlPart(start.url, kPartSite).find('.') == std::string::npos) return {false, "[skipped]"};

  VerdictBuilder verdict;
  const std::string expected = expectedCanonicalUrl(start.url, options.form);
  if (start.url == expected) {
    if (final.url != expected) {
      verdict.fail("[bad final URL]");
    } else if (start.statusCode != 200) {
      verdict.fail("[non-200 status code]");
    } else if (h != 0) {
      verdict.fail("[redirects]");
    }
  } else if (final.url != expected) {
    verdict.fail(h == 0 ? "[not redirected]" : "[bad final URL]");
  } else if (h > 1) {
    verdict.fail("[redirect chain]");
  } else if (start.statusCode != 301) {
    verdict.fail("[non-301 redirect]");
  }

  if (options.hsts || options.cookies) {
    bool hstsFailed = false, cookieFailed = false;
    for (const OutlineHop& hop : chain.hops) {
      const HeaderTable table = headerTable(hop.rawHeaders);
      const std::string protocol = lowerCased(getUrlPart(hop.url, kPartProtocol));
      if (options.hsts && protocol == "https" && !hstsFailed) {
        const std::string* hsts = firstNamed(table, "strict-transport-security");
        if (hsts == nullptr) {
          hstsFailed = true;
          verdict.fail("[no HSTS header]");
        } else if (zeroMaxAge(*hsts)) {
          hstsFailed = true;
          verdict.fail("[zero max-age HSTS]");
        }
      }
      if (options.cookies && !cookieFailed) {
        const bool http = protocol == "http";
        std::optional<bool> lastSecure;
        for (const auto& [name, value] : table) {
          if (name == "set-cookie") lastSecure = secureCookie(value);
        }
        if (http && lastSecure) {
          cookieFailed = true;
          verdict.fail("[cookie over http]");
        } else if (!http && lastSecure == false) {
          cookieFailed = true;
          verdict.fail("[insecure cookie over https]");
        }
      }
    }
  }
  return verdict.finish();
}

}  // namespace tallyvane
