#pragma once
// URLs are handled as text; these are the parts other code takes from them and replaces.

#include <optional>
#include <string>
#include <string_view>

namespace tallyvane {

// The part codes are literal strings used by rewrite and mapping rules too.
inline constexpr std::string_view kPartProtocol = "/PC/";
inline constexpr std::string_view kPartUser = "/US/";
inline constexpr std::string_view kPartPassword = "/PS/";
inline constexpr std::string_view kPartSite = "/WS/";
inline constexpr std::string_view kPartPort = "/PO/";
inline constexpr std::string_view kPartPath = "/PT/";
inline constexpr std::string_view kPartParameters = "/PM/";
inline constexpr std::string_view kPartAnchor = "/AN/";

// Returns the part named by code, or "" when it is absent or the code is unknown.
std::string getUrlPart(std::string_view url, std::string_view code);

// Replaces the text getUrlPart returns for code by value, keeping the rest of the URL.
// A part that is absent is inserted where it belongs when the URL has a place for it.
std::string setUrlPart(std::string_view url, std::string_view code, std::string_view value);

// Where the host lies as a request addresses it (RFC 3986): after "://" and any user part, up to
// the port's ":", "/", "?", "#" or the end; an IPv6 literal whole, with its brackets. Nothing
// without "://".
struct TextSpan {
  size_t begin = 0;
  size_t end = 0;
};
std::optional<TextSpan> requestHostSpan(std::string_view url);

// True for text starting with "http://" or "https://", exactly and in lower case.
bool isHttpUrl(std::string_view text);

}  // namespace tallyvane
