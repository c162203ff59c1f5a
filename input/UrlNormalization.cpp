#include "input/UrlNormalization.h"

#include "input/UrlParts.h"

#include <uriparser/Uri.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <utility>

namespace tallyvane {
namespace {

// A parsed URI that frees itself.
class ParsedUri {
 public:
  explicit ParsedUri(std::string_view text) : text_(text) {
    const char* error = nullptr;
    parsed_ = uriParseSingleUriExA(&uri_, text_.data(), text_.data() + text_.size(), &error) == URI_SUCCESS;
  }
  ParsedUri() = default;
  ~ParsedUri() { uriFreeUriMembersA(&uri_); }
  ParsedUri(const ParsedUri&) = delete;
  ParsedUri& operator=(const ParsedUri&) = delete;

  bool parsed() const { return parsed_; }
  bool absolute() const { return parsed_ && uri_.scheme.first != nullptr; }
  UriUriA* get() { return &uri_; }
  void markParsed() { parsed_ = true; }

 private:
  std::string text_;  // uriparser points into it
  UriUriA uri_{};
  bool parsed_ = false;
};

std::optional<std::string> textOf(UriUriA* uri) {
  int length = 0;
  if (uriToStringCharsRequiredA(uri, &length) != URI_SUCCESS) return std::nullopt;
  std::string text(static_cast<size_t>(length) + 1, '\0');
  if (uriToStringA(text.data(), uri, length + 1, nullptr) != URI_SUCCESS) return std::nullopt;
  text.resize(static_cast<size_t>(length));
  return text;
}

std::optional<std::string> resolved(ParsedUri& base, ParsedUri& reference) {
  ParsedUri result;
  if (uriAddBaseUriA(result.get(), reference.get(), base.get()) != URI_SUCCESS) return std::nullopt;
  result.markParsed();
  return textOf(result.get());
}

// The bytes a URL keeps as they are; a table, as every byte of every URL is looked up.
constexpr std::array<bool, 256> kSafeBytes = [] {
  std::array<bool, 256> safe{};
  for (int c = 'a'; c <= 'z'; ++c) safe[static_cast<size_t>(c)] = safe[static_cast<size_t>(c - 'a' + 'A')] = true;
  for (int c = '0'; c <= '9'; ++c) safe[static_cast<size_t>(c)] = true;
  for (const char c : std::string_view("!#$&'()*,+-./:;=?@_~")) safe[static_cast<unsigned char>(c)] = true;
  return safe;
}();

bool isSafe(unsigned char c) { return kSafeBytes[c]; }

// Where the authority (user, host, port) of a URL or network-path reference lies.
std::optional<TextSpan> authoritySpan(std::string_view url) {
  size_t begin = url.starts_with("//") ? 2 : url.find("://");
  if (begin == std::string_view::npos) return std::nullopt;
  if (begin != 2) begin += 3;
  return TextSpan{begin, std::min(url.find_first_of("/?#", begin), url.size())};
}

// uriparser writes an IPv6 literal in its long form; the authority as written is kept instead.
std::string withAuthorityOf(std::string_view written, std::string resolved) {
  const auto from = authoritySpan(written);
  const auto to = authoritySpan(resolved);
  if (!from || !to) return resolved;
  const std::string_view authority = written.substr(from->begin, from->end - from->begin);
  if (authority.find('[') == std::string_view::npos) return resolved;
  return resolved.replace(to->begin, to->end - to->begin, authority);
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Whether a "%XX" escape starts at i.
bool isEscapeAt(std::string_view text, size_t i) {
  return text[i] == '%' && i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2]);
}

bool isAsciiAlphanumeric(char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

// Text that uriparser takes and resolves without changing a byte: bytes kept as they are,
// "%XX" escapes, at most one "#" and no dot segment.
bool isPlainUrlText(std::string_view text) {
  if (text.find("/.") != std::string_view::npos) return false;
  bool fragment = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '#') {
      if (fragment) return false;
      fragment = true;
    } else if (isEscapeAt(text, i)) {
      i += 2;
    } else if (!isSafe(static_cast<unsigned char>(text[i]))) {
      return false;
    }
  }
  return true;
}

// Where "http://host[:port]" or "https://host[:port]" ends, for a host name of letters, digits,
// dots and hyphens; npos for anything else (user names, IPv6 literals, other schemes).
size_t plainOriginEnd(std::string_view url) {
  size_t at = url.starts_with("http://") ? 7 : url.starts_with("https://") ? 8 : 0;
  const size_t hostStart = at;
  if (at == 0) return std::string_view::npos;
  while (at < url.size() && (isAsciiAlphanumeric(url[at]) || url[at] == '.' || url[at] == '-')) ++at;
  if (at == hostStart) return std::string_view::npos;
  if (at < url.size() && url[at] == ':') {
    for (++at; at < url.size() && url[at] >= '0' && url[at] <= '9';) ++at;
  }
  if (at < url.size() && url[at] != '/' && url[at] != '?' && url[at] != '#') return std::string_view::npos;
  return at;
}

// Most Link targets are an absolute http(s) URL or a path from the root of the base's host:
// resolved here without parsing both (which cost more than the rest of a response's analysis).
std::optional<std::string> resolvedPlainly(std::string_view base, std::string_view reference) {
  if (!isPlainUrlText(reference)) return std::nullopt;
  if (plainOriginEnd(reference) != std::string_view::npos) return std::string(reference);
  if (!reference.starts_with('/') || reference.starts_with("//")) return std::nullopt;
  const size_t origin = plainOriginEnd(base);
  // The base must be one uriparser takes, or the reference would come back alone.
  if (origin == std::string_view::npos || !isPlainUrlText(base.substr(origin))) return std::nullopt;
  return std::string(base.substr(0, origin)).append(reference);
}

// Where the first byte to encode is; the size when there is none (nearly every URL of a list).
size_t firstByteToEncode(std::string_view url) {
  size_t first = 0;
  while (first < url.size() && (isSafe(static_cast<unsigned char>(url[first])) || isEscapeAt(url, first))) ++first;
  return first;
}

std::string encodedFrom(std::string_view url, size_t first) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // The host goes out as written: libcurl turns an international name into its ASCII form, and
  // an IPv6 literal needs its brackets.
  const TextSpan host = requestHostSpan(url).value_or(TextSpan{});
  std::string encoded;
  encoded.reserve(url.size() + 16);
  encoded.assign(url.substr(0, first));
  for (size_t i = first; i < url.size(); ++i) {
    const auto c = static_cast<unsigned char>(url[i]);
    const bool inHost = i >= host.begin && i < host.end;
    if (isSafe(c) || isEscapeAt(url, i) || inHost) {
      encoded.push_back(static_cast<char>(c));
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[c >> 4]);
      encoded.push_back(kHex[c & 0xF]);
    }
  }
  return encoded;
}

}  // namespace

std::string removeDotSegments(std::string_view url) {
  // Without a "/." there is no dot segment to remove (nearly every URL of a list).
  if (url.find("/.") == std::string_view::npos) return std::string(url);
  // Resolving an absolute URL against itself applies exactly the dot-segment removal.
  ParsedUri uri(url);
  if (!uri.absolute()) return std::string(url);
  const auto result = resolved(uri, uri);
  return result ? withAuthorityOf(url, *result) : std::string(url);
}

std::string percentEncodeUrl(std::string url) {
  const size_t first = firstByteToEncode(url);
  // Nothing to encode (nearly every URL of a list): handed back as it is, and the host need not
  // be found either.
  if (first == url.size()) return url;  // moved: a ?: would copy it
  return encodedFrom(url, first);
}

std::string normaliseInputUrl(std::string url) {
  // A scheme in capitals is requested, counted and reported in its usual lower-case form.
  if (isHttpUrl(url)) {
    // ASCII only, whatever the process's locale.
    for (size_t i = 0; url[i] != ':'; ++i) {
      if (url[i] >= 'A' && url[i] <= 'Z') url[i] = static_cast<char>(url[i] - 'A' + 'a');
    }
  }
  // Most URLs of a list have no dot segment: removeDotSegments() would copy them.
  if (url.find("/.") != std::string::npos) url = removeDotSegments(url);
  return percentEncodeUrl(std::move(url));
}

std::string resolveUrl(std::string_view base, std::string_view reference) {
  if (auto plain = resolvedPlainly(base, reference)) return std::move(*plain);
  return resolveUrlByParsing(base, reference);
}

std::string resolveUrlByParsing(std::string_view base, std::string_view reference) {
  ParsedUri baseUri(base);
  ParsedUri referenceUri(reference);
  if (!baseUri.absolute() || !referenceUri.parsed()) return std::string(reference);
  const auto result = resolved(baseUri, referenceUri);
  if (!result) return std::string(reference);
  return withAuthorityOf(authoritySpan(reference) ? reference : base, *result);
}

}  // namespace tallyvane
