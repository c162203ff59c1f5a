#include "engine/HeaderAnalysis.h"

#include <utility>
#include <vector>

#include "base/Text.h"
#include "input/UrlNormalization.h"

namespace tallyvane {
namespace {

bool isContinuation(std::string_view line) {
  return !line.empty() && (line[0] == ' ' || static_cast<unsigned char>(line[0]) < 10);
}

// Values gathered from the last header line to the first, written out in header order.
std::string bracketedInHeaderOrder(const std::vector<std::string>& valuesLastFirst) {
  std::string list;
  for (auto value = valuesLastFirst.rbegin(); value != valuesLastFirst.rend(); ++value) {
    if (!list.empty()) list += ',';
    list += '[';
    list += *value;
    list += ']';
  }
  return list;
}

std::string_view trimQuotes(std::string_view text) {
  const size_t first = text.find_first_not_of('"');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of('"') - first + 1);
}

void parseParameters(std::string_view part, size_t at, LinkEntry& entry) {
  while (at != std::string_view::npos && at < part.size()) {
    const size_t equals = part.find('=', at + 1);
    if (equals == std::string_view::npos) return;
    const size_t next = part.find(';', equals + 1);
    const std::string_view rawName = part.substr(at + 1, equals - at - 1);
    const std::string_view rawValue =
        part.substr(equals + 1, next == std::string_view::npos ? std::string_view::npos : next - equals - 1);
    if (rawName.size() < 2 || rawValue.size() < 2) return;
    const std::string_view name = trimBlanks(rawName);
    const std::string_view value = trimQuotes(trimBlanks(rawValue));
    if (name == "rel") {
      entry.rel = std::string(value);
    } else if (name == "hreflang") {
      if (!entry.hreflang.empty()) entry.hreflang += ",";
      entry.hreflang += "[" + std::string(value) + "]";
    }
    at = next;
  }
}

// The headers analyseHeaders() reads, by their names in lower case.
struct AnalysedHeaderName {
  std::string_view name;
  AnalysedHeader kind;
};
constexpr AnalysedHeaderName kAnalysedHeaders[] = {
    {"vary", AnalysedHeader::kVary}, {"x-robots-tag", AnalysedHeader::kRobots}, {"link", AnalysedHeader::kLink}};

}  // namespace

std::string_view lastHeaderBlock(std::string_view raw) {
  const size_t at = raw.rfind("\r\n\r\nHTTP/");
  return at == std::string_view::npos ? raw : raw.substr(at + 4);
}

AnalysedHeader analysedHeaderOf(std::string_view line) {
  // Each name is compared only when the colon stands where it ends.
  for (const auto& [name, kind] : kAnalysedHeaders) {
    if (line.size() > name.size() && line[name.size()] == ':' && startsWithIgnoreCase(line, name)) return kind;
  }
  return AnalysedHeader::kNone;
}

void parseLinks(std::string_view value, HopRecord& hop, const QueueLink& queueLink) {
  for (;;) {
    const size_t comma = value.find(',');
    const std::string_view part = value.substr(0, comma);
    const size_t open = part.find('<');
    const size_t close = open == std::string_view::npos ? open : part.find('>', open + 1);
    if (close != std::string_view::npos && close > open + 1 && hop.linkCount < kMaxLinksPerResponse) {
      LinkEntry& entry = hop.addLink();
      entry.link = resolveUrl(hop.url, part.substr(open + 1, close - open - 1));
      if (queueLink && entry.link != hop.url) queueLink(entry.link);
      parseParameters(part, part.find(';', close + 1), entry);
    }
    if (comma == std::string_view::npos) return;
    value.remove_prefix(comma + 1);
  }
}

void analyseHeaders(HopRecord& hop, const QueueLink& queueLink) {
  // Reused by each worker thread: no allocation per hop once they have grown.
  thread_local std::vector<std::string_view> fields, continuation;
  thread_local std::vector<std::string> vary, robots;
  fields.clear();
  continuation.clear();
  vary.clear();
  robots.clear();
  forEachCrLfLine(lastHeaderBlock(hop.rawHeaders), [](std::string_view line) { fields.push_back(line); });
  // The header lines are the fields before the final blank one; visited from the last, so that
  // folded lines are gathered before the header they continue. Everything gathered is written
  // out once, so a hostile block of many lines costs time in proportion to its size.
  // Link headers are therefore read last one first.
  for (size_t i = fields.size() >= 2 ? fields.size() - 2 : 0; i-- > 0;) {
    const std::string_view line = fields[i];
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      // Tabs are trimmed too, so the parts of a folded value are joined by single blanks.
      if (isContinuation(line)) {
        continuation.push_back(trimBlanksAndTabs(line));
      } else {
        continuation.clear();
      }
      continue;
    }
    const AnalysedHeader header = analysedHeaderOf(line);
    if (header != AnalysedHeader::kNone) {
      std::string value(trimBlanks(line.substr(colon + 1)));
      for (auto part = continuation.rbegin(); part != continuation.rend(); ++part) {
        value += ' ';
        value += *part;
      }
      if (header == AnalysedHeader::kVary) vary.push_back(std::move(value));
      if (header == AnalysedHeader::kRobots) robots.push_back(std::move(value));
      if (header == AnalysedHeader::kLink) parseLinks(value, hop, queueLink);
    }
    continuation.clear();
  }
  hop.vary = bracketedInHeaderOrder(vary);
  hop.xRobotsTag = bracketedInHeaderOrder(robots);
}

}  // namespace tallyvane
