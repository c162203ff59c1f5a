#include "input/MappingRules.h"

#include <algorithm>
#include <new>

#include "base/FileContents.h"
#include "base/Text.h"
#include "input/RewriteRules.h"
#include "input/UrlParts.h"

namespace tallyvane {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Lines end at LF, CR or CR LF.
template <typename Visit>
bool forEachLine(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    if (!visit(text.substr(0, end))) return false;
    if (end == std::string_view::npos) break;
    const size_t next = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
    text.remove_prefix(next);
  }
  return true;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// A relative target keeps the port of the absolute target above it, so it names the same server.
std::string targetOriginOf(std::string_view url) {
  std::string origin = originOf(url);
  const std::string port = getUrlPart(url, kPartPort);
  if (!port.empty()) origin += ":" + port;
  return origin;
}

}  // namespace

std::string escapeForRegex(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() * 2);
  for (const char c : text) {
    if (std::string_view("[\\^$.|?*+()").find(c) != std::string_view::npos) escaped.push_back('\\');
    escaped.push_back(c);
  }
  return escaped;
}

std::string originOf(std::string_view url) {
  return getUrlPart(url, kPartProtocol) + "://" + getUrlPart(url, kPartSite);
}

std::string pathAndQueryOf(std::string_view url) {
  std::string form = "/" + getUrlPart(url, kPartPath);
  const std::string parameters = getUrlPart(url, kPartParameters);
  if (!parameters.empty()) form += "?" + parameters;
  return form;
}

std::variant<MappingTable, Message> MappingTable::load(const std::filesystem::path& rulesFile) {
  const auto text = readFileContents(rulesFile);
  if (!text) return errorMessage(kCannotReadMappingRulesMessage);
  std::string_view rules = *text;
  if (rules.starts_with(kByteOrderMark)) rules.remove_prefix(kByteOrderMark.size());
  return parse(rules);
}

std::variant<MappingTable, Message> MappingTable::parse(std::string_view text) {
  MappingTable table;
  std::optional<Message> failure;
  std::string sourceOrigin, targetOrigin;
  size_t lineNumber = 0;
  // The line's number too: in a file of thousands of rules the text alone is hard to find.
  const auto bad = [&](std::string_view message, std::string_view ruleLine) {
    failure = errorMessage(std::string(message) + std::string(ruleLine) + " (line " + std::to_string(lineNumber) + ")");
    return false;
  };
  try {
    forEachLine(text, [&](std::string_view line) {
      ++lineNumber;
      const std::string_view ruleLine = ruleLineOf(line);
      if (ruleLine.empty()) return true;
      const size_t blank = ruleLine.find(' ');
      if (blank == std::string_view::npos) return bad(kMissingTargetMessage, ruleLine);
      MappingRule rule;
      rule.source = std::string(trimBlanks(ruleLine.substr(0, blank)));
      rule.target = std::string(trimBlanks(ruleLine.substr(blank + 1)));
      if (rule.source.starts_with('(')) {
        if (!rule.source.ends_with(')') || rule.source.size() < 2) {
          return bad(kMissingClosingParenthesisMessage, ruleLine);
        }
        rule.source = rule.source.substr(1, rule.source.size() - 2);
        rule.kind = MappingRuleKind::Pattern;
      } else if (rule.source.find("{}") != std::string::npos) {
        rule.kind = MappingRuleKind::Wildcard;
      }
      if (rule.source.starts_with('/') && sourceOrigin.empty()) return bad(kNoSourceDomainMessage, ruleLine);
      if (rule.target.starts_with('/') && targetOrigin.empty()) return bad(kNoTargetDomainMessage, ruleLine);
      if (!rule.source.starts_with('/')) {
        sourceOrigin = originOf(rule.source);
        std::erase(sourceOrigin, '\\');
        rule.source = pathAndQueryOf(rule.source);
      }
      if (rule.target.starts_with('/')) {
        rule.target = targetOrigin + rule.target;
      } else if (!retiredStatus(rule.target)) {  // a status is no origin for the rules below it
        targetOrigin = targetOriginOf(rule.target);
      }
      if (rule.kind == MappingRuleKind::Wildcard) {
        rule.literalPrefix = rule.source.substr(0, rule.source.find("{}"));
        rule.source = escapeForRegex(rule.source);
        replaceAll(rule.source, "{}", "(.+)");
      }
      if (rule.kind != MappingRuleKind::Exact) rule.pattern = RegexPattern::compile(rule.source);
      table.add(sourceOrigin, std::move(rule));
      return true;
    });
  } catch (const std::bad_alloc&) {
    return errorMessage(kMappingOutOfMemoryMessage);
  }
  if (failure) return *failure;
  return table;
}

void MappingTable::add(const std::string& origin, MappingRule rule) {
  const auto [found, added] = groupOfOrigin_.try_emplace(origin, groups_.size());
  if (added) {
    groups_.push_back({origin, {}});
    index_.emplace_back();
  }
  MappingGroup& group = groups_[found->second];
  GroupIndex& index = index_[found->second];
  const size_t position = group.rules.size();
  if (rule.kind == MappingRuleKind::Exact) {
    index.firstExact.try_emplace(rule.source, position);
  } else {
    index.patternRules.push_back(position);
  }
  group.rules.push_back(std::move(rule));
}

std::optional<int> retiredStatus(std::string_view target) {
  for (const int status : {404, 410, 451}) {
    if (target == std::to_string(status)) return status;
  }
  return std::nullopt;
}

std::optional<std::string> MappingTable::expectedTarget(std::string_view url) const {
  const auto group = groupOfOrigin_.find(originOf(url));
  if (group == groupOfOrigin_.end()) return std::nullopt;
  const MappingGroup& rules = groups_[group->second];
  const GroupIndex& index = index_[group->second];
  const std::string path = pathAndQueryOf(url);
  // Rules apply in file order: a pattern rule wins only when it comes before the exact one.
  const auto exact = index.firstExact.find(path);
  const size_t exactPosition = exact == index.firstExact.end() ? rules.rules.size() : exact->second;
  for (const size_t position : index.patternRules) {
    if (position > exactPosition) break;
    const MappingRule& rule = rules.rules[position];
    // A match must start at the path's first character: a path without the literal start of a
    // wildcard cannot match, and is told so without running the expression.
    if (!rule.pattern || !path.starts_with(rule.literalPrefix)) continue;
    const auto captured = rule.pattern->matchWhole(path);
    if (!captured) continue;
    std::string target = rule.target;
    for (size_t n = 1; n <= captured->size(); ++n)
      replaceAll(target, "{" + std::to_string(n) + "}", (*captured)[n - 1]);
    return target;
  }
  if (exact == index.firstExact.end()) return std::nullopt;
  return rules.rules[exactPosition].target;
}

}  // namespace tallyvane
