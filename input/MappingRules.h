#pragma once
// The expected redirects of a site migration: a rules file of "source target" lines, grouped
// by the origin of their sources, and the lookup of the target expected for a URL.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "base/Message.h"
#include "input/RegexPattern.h"

namespace tallyvane {

inline constexpr std::string_view kCannotReadMappingRulesMessage = "Cannot read data from mapping rules file!";
inline constexpr std::string_view kMissingTargetMessage = "Bad rule (missing to url): ";
inline constexpr std::string_view kMissingClosingParenthesisMessage =
    "Bad regular expression rule - missing closing \")\": ";
inline constexpr std::string_view kNoSourceDomainMessage =
    "Bad rule (rule with no from-url-domain AND no previous domain): ";
inline constexpr std::string_view kNoTargetDomainMessage =
    "Bad rule (rule With no to-url-domain AND no previous domain): ";
inline constexpr std::string_view kMappingOutOfMemoryMessage = "Out of Memory";

enum class MappingRuleKind : uint8_t { Exact = 0, Wildcard = 1, Pattern = 2 };

struct MappingRule {
  std::string source;  // exact: the path-and-query form; else a regular expression over it
  std::string target;  // absolute; "{N}" takes capture group N for wildcard and pattern rules
  MappingRuleKind kind = MappingRuleKind::Exact;
  std::optional<RegexPattern> pattern;  // compiled source; none when it does not compile
  std::string literalPrefix;            // wildcard: the text before its first "{}", which a path must start with
};

struct MappingGroup {
  std::string origin;  // protocol "://" site of the sources, case-sensitive, no port
  std::vector<MappingRule> rules;
};

class MappingTable {
 public:
  // The table, or the message of the first rule that is wrong.
  static std::variant<MappingTable, Message> load(const std::filesystem::path& rulesFile);
  static std::variant<MappingTable, Message> parse(std::string_view text);

  const std::vector<MappingGroup>& groups() const { return groups_; }

  // The target the first applying rule of the URL's origin expects. Safe from any number of
  // threads at once.
  std::optional<std::string> expectedTarget(std::string_view url) const;

 private:
  struct GroupIndex {
    std::unordered_map<std::string, size_t> firstExact;  // source -> first exact rule with it
    std::vector<size_t> patternRules;                    // in file order
  };
  void add(const std::string& origin, MappingRule rule);

  std::vector<MappingGroup> groups_;
  std::vector<GroupIndex> index_;  // parallel to groups_
  std::unordered_map<std::string, size_t> groupOfOrigin_;
};

// A retired URL's rule names the status it must answer instead of a target ("/old-page 410"):
// 404, 410 or 451, without a redirect. Nothing for a target URL.
std::optional<int> retiredStatus(std::string_view target);

// Every character of "[\^$.|?*+()" preceded by "\"; the rest, "{" and "}" among it, unchanged.
std::string escapeForRegex(std::string_view text);

// The protocol, "://" and the site of a URL; the path-and-query form: "/" + path, then "?" and
// the parameters when there are any.
std::string originOf(std::string_view url);
std::string pathAndQueryOf(std::string_view url);

}  // namespace tallyvane
