#pragma once
// What every URL goes through before it is checked, and how links are made absolute.

#include <string>
#include <string_view>

namespace tallyvane {

// Removes "." and ".." path segments (RFC 3986) and nothing else; text that is not an absolute
// URL, or that does not parse, comes back unchanged.
std::string removeDotSegments(std::string_view url);

// Percent-encodes every byte outside letters, digits and ! # $ & ' ( ) * + , - . / : ; = ? @ _ ~,
// keeping a "%" that starts a valid escape, so an already-encoded URL is requested as given.
// "+" stays: in a query it means a blank, and "%2B" a literal plus. The host is never encoded.
std::string percentEncodeUrl(std::string url);

// Both, in that order: the form in which the input hands URLs to the workers.
std::string normaliseInputUrl(std::string url);

// reference resolved against base; reference unchanged when either does not parse.
std::string resolveUrl(std::string_view base, std::string_view reference);
// The same by uriparser alone, without resolveUrl()'s shortcut for plain links: the answer the
// shortcut must give, which the fuzz target checks.
std::string resolveUrlByParsing(std::string_view base, std::string_view reference);

}  // namespace tallyvane
