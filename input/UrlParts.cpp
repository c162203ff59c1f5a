#include "input/UrlParts.h"

#include <algorithm>
#include <optional>

#include "base/Text.h"

namespace tallyvane {
namespace {

constexpr size_t npos = std::string_view::npos;

struct Span {
  size_t begin = 0;
  size_t end = 0;
};

// Where each part lies in the URL; an absent part has no span.
struct UrlLayout {
  std::optional<Span> protocol, user, password, site, port, path, parameters, anchor;
};

size_t findFrom(std::string_view url, char c, size_t from) {
  const size_t at = url.find(c, from);
  return at == npos ? url.size() : at;
}

UrlLayout layoutOf(std::string_view url) {
  UrlLayout layout;
  const size_t question = url.find('?');
  if (question != npos) layout.parameters = Span{question + 1, findFrom(url, '#', question + 1)};
  const size_t hash = url.find('#');
  if (hash != npos) layout.anchor = Span{hash + 1, url.size()};

  const size_t separator = url.find("://");
  if (separator == npos) return layout;
  layout.protocol = Span{0, separator};
  const size_t authorityStart = separator + 3;
  const size_t firstSlash = findFrom(url, '/', authorityStart);

  size_t hostStart = authorityStart;
  const size_t at = url.find('@', authorityStart);
  if (at != npos && at < firstSlash) {
    const size_t colon = url.find(':', authorityStart);
    if (colon != npos && colon < at) {
      layout.user = Span{authorityStart, colon};
      layout.password = Span{colon + 1, at};
    } else {
      layout.user = Span{authorityStart, at};
    }
    hostStart = at + 1;
  }
  // An IPv6 literal keeps its brackets and the colons inside them.
  const size_t literalEnd = url.substr(hostStart, 1) == "[" ? url.find(']', hostStart) : npos;
  const size_t nameEnd = literalEnd < firstSlash ? literalEnd + 1 : hostStart;
  const size_t siteEnd = std::min(findFrom(url, ':', nameEnd), findFrom(url, '/', nameEnd));
  layout.site = Span{hostStart, siteEnd};
  if (siteEnd < url.size() && url[siteEnd] == ':') {
    layout.port = Span{siteEnd + 1, findFrom(url, '/', siteEnd + 1)};
  }
  if (firstSlash < url.size()) layout.path = Span{firstSlash + 1, findFrom(url, '?', firstSlash + 1)};
  return layout;
}

std::optional<Span> UrlLayout::*memberFor(std::string_view code) {
  if (code == kPartProtocol) return &UrlLayout::protocol;
  if (code == kPartUser) return &UrlLayout::user;
  if (code == kPartPassword) return &UrlLayout::password;
  if (code == kPartSite) return &UrlLayout::site;
  if (code == kPartPort) return &UrlLayout::port;
  if (code == kPartPath) return &UrlLayout::path;
  if (code == kPartParameters) return &UrlLayout::parameters;
  if (code == kPartAnchor) return &UrlLayout::anchor;
  return nullptr;
}

std::string spliced(std::string_view url, size_t begin, size_t end, std::string_view text) {
  std::string out;
  out.reserve(url.size() + text.size());
  out.append(url.substr(0, begin)).append(text).append(url.substr(end));
  return out;
}

// Inserts an absent part with its separator, where the URL has a place for it.
std::string inserted(std::string_view url, const UrlLayout& layout, std::string_view code,
                     std::string_view value) {
  const std::string text(value);
  if (code == kPartProtocol) return text + "://" + std::string(url);
  if (!layout.site) {
    // Without "://" only the query and the fragment have a place.
    if (code == kPartAnchor) return std::string(url) + "#" + text;
    if (code == kPartParameters) {
      const size_t at = layout.anchor ? layout.anchor->begin - 1 : url.size();
      return spliced(url, at, at, "?" + text);
    }
    return std::string(url);
  }
  const size_t afterHost = layout.port ? layout.port->end : layout.site->end;
  if (code == kPartUser) return spliced(url, layout.site->begin, layout.site->begin, text + "@");
  if (code == kPartPassword) {
    if (!layout.user) return std::string(url);
    return spliced(url, layout.user->end, layout.user->end, ":" + text);
  }
  if (code == kPartPort) return spliced(url, layout.site->end, layout.site->end, ":" + text);
  if (code == kPartPath) return spliced(url, afterHost, afterHost, "/" + text);
  if (code == kPartParameters) {
    size_t at = layout.anchor ? layout.anchor->begin - 1 : url.size();
    at = std::max(at, afterHost);
    return spliced(url, at, at, "?" + text);
  }
  if (code == kPartAnchor) return std::string(url) + "#" + text;
  return std::string(url);
}

}  // namespace

std::string getUrlPart(std::string_view url, std::string_view code) {
  const auto member = memberFor(code);
  if (!member) return {};
  const auto span = layoutOf(url).*member;
  if (!span) return {};
  return std::string(url.substr(span->begin, span->end - span->begin));
}

std::string setUrlPart(std::string_view url, std::string_view code, std::string_view value) {
  const auto member = memberFor(code);
  if (!member) return std::string(url);
  const UrlLayout layout = layoutOf(url);
  const auto span = layout.*member;
  if (span) return spliced(url, span->begin, span->end, value);
  if (value.empty()) return std::string(url);
  return inserted(url, layout, code, value);
}

std::optional<TextSpan> requestHostSpan(std::string_view url) {
  const size_t separator = url.find("://");
  if (separator == npos) return std::nullopt;
  const size_t authorityStart = separator + 3;
  const size_t authorityEnd = std::min(url.find_first_of("/?#", authorityStart), url.size());
  const std::string_view authority = url.substr(authorityStart, authorityEnd - authorityStart);
  const size_t at = authority.rfind('@');
  const size_t begin = authorityStart + (at == npos ? 0 : at + 1);
  const std::string_view hostAndPort = url.substr(begin, authorityEnd - begin);
  size_t length = hostAndPort.find(':');
  if (hostAndPort.starts_with("[")) {
    const size_t close = hostAndPort.find(']');
    length = close == npos ? hostAndPort.size() : close + 1;
  }
  return TextSpan{begin, begin + std::min(length, hostAndPort.size())};
}

bool isHttpUrl(std::string_view text) {
  // Schemes ignore case: "HTTP://" and "Https://" are web addresses too.
  return startsWithIgnoreCase(text, "http://") || startsWithIgnoreCase(text, "https://");
}

}  // namespace tallyvane
