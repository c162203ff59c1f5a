#pragma once
// The canonical-URL test: every URL is checked in its http/https and www/non-www forms, and
// each must reach the one canonical form in a single permanent redirect (optionally with HSTS
// on every https answer and only secure cookies).

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/TestVerdict.h"

namespace tallyvane {

enum class CanonicalForm : int { Https = 0, HttpsWww = 1, Http = 2, HttpWww = 3 };

struct CanonicalOptions {
  CanonicalForm form = CanonicalForm::Https;
  bool onlyInputUrls = false;  // no variants generated
  bool cookies = false;        // "Test for non-secure cookies"
  bool hsts = false;           // "Test for proper HSTS headers"
};

// The other forms of a URL, in the order they are checked: the other protocol, then https and
// http with "www." added or removed. A host without a dot has none; a host with two or more
// dots and no leading "www." only the other protocol.
std::vector<std::string> canonicalVariants(std::string_view url);

// The form url must reach under the chosen canonical form.
std::string expectedCanonicalUrl(std::string_view url, CanonicalForm form);

TestVerdict evaluateCanonical(const ChainOutline& chain, const CanonicalOptions& options);

// The header lines of a raw block as (lower-cased name, value), folded lines joined, at most 100.
std::vector<std::pair<std::string, std::string>> headerTable(std::string_view rawHeaders);

}  // namespace tallyvane
