#include "input/SitemapReader.h"

#include <algorithm>

#include "base/Text.h"
#include "input/UrlNormalization.h"
#include "input/UrlParts.h"

namespace tallyvane {
namespace {

constexpr std::string_view kLoadErrorMessage = "There was an error trying to load ";
constexpr std::string_view kSomeLeftOutMessage = "Not every sitemap could be read; the URLs of the others are checked:";
constexpr std::string_view kNoneReadMessage = "No sitemap could be read:";
constexpr size_t kMaxListedProblems = 20;

std::string tooLargeReason() {
  return "unpacks to more than " + std::string(kMaxSitemapSizeText) +
         ", more than any sitemap may hold: refused as a likely gzip bomb";
}

// A multi-line message as one line of a list.
std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

std::string problemList(std::string_view heading, const std::vector<std::string>& problems) {
  std::string text(heading);
  const size_t listed = std::min(problems.size(), kMaxListedProblems);
  for (size_t i = 0; i < listed; ++i) text += "\r" + problems[i];
  if (problems.size() > listed) text += "\r... and " + std::to_string(problems.size() - listed) + " more";
  return text;
}

}  // namespace

std::vector<std::string> sitemapsOfRobotsTxt(std::string_view text) {
  std::vector<std::string> sitemaps;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    line = trimBlanksAndTabs(line.substr(0, line.find('#')));
    constexpr std::string_view kField = "sitemap:";
    if (!startsWithIgnoreCase(line, kField)) continue;
    const std::string_view url = trimBlanksAndTabs(line.substr(kField.size()));
    if (!url.empty()) sitemaps.emplace_back(url);
  }
  return sitemaps;
}

bool isRobotsTxtUrl(std::string_view url) { return equalsIgnoreCase(getUrlPart(url, kPartPath), "robots.txt"); }

SitemapsRead SitemapReader::readFile(const std::string& name, FileDescriptor fd) {
  return finish(sitemap_.add(std::move(fd)), name, {});
}

SitemapsRead SitemapReader::readUrl(const std::string& url) {
  seen_.insert(url);
  showProgress("Reading " + url);
  std::string body;
  if (!fetch(url, body)) {
    SitemapsRead read;
    read.stopped = stopped();
    if (!read.stopped) read.message = errorMessage(std::string(kLoadErrorMessage) + problems_.back());
    return read;
  }
  if (!isRobotsTxtUrl(url)) return finish(sitemap_.add(body), url, url);
  const std::vector<std::string> named = sitemapsOfRobotsTxt(body);
  if (named.empty()) return {std::nullopt, errorMessage("No \"Sitemap:\" line in " + url), false};
  follow(named, url, 1);
  return finish({}, url, url);
}

bool SitemapReader::fetch(const std::string& url, std::string& body) {
  if (fetcher_ == nullptr) {
    note(url, "not fetched: no connection to fetch it with");
    return false;
  }
  FetchedDocument fetched = fetcher_->fetch(url);
  if (stopped()) return false;
  if (!fetched.problem.empty()) {
    note(url, fetched.problem);
    return false;
  }
  body = std::move(fetched.body);
  return true;
}

SitemapsRead SitemapReader::finish(Sitemap::Document root, const std::string& name, const std::string& base) {
  SitemapsRead read;
  switch (root.failure) {
    case Sitemap::Document::Failure::None: break;
    case Sitemap::Document::Failure::CannotLoad: read.message = errorMessage(std::string(kLoadErrorMessage) + name); return read;
    case Sitemap::Document::Failure::Refused: read.message = errorMessage(root.message); return read;
    case Sitemap::Document::Failure::TooLarge: read.message = errorMessage(name + ": " + tooLargeReason()); return read;
    case Sitemap::Document::Failure::Silent: return read;
  }
  if (root.isIndex) follow(root.sitemaps, base, 1);
  if (stopped()) {
    read.stopped = true;
    return read;
  }
  if (leftOut_ > 0) {
    problems_.push_back(std::to_string(leftOut_) + " more sitemaps are not read: at most " +
                        std::to_string(kMaxSitemaps) + " are read for one input");
  }
  if (!problems_.empty() && sitemap_.entryCount() == 0) {
    read.message = errorMessage(problemList(kNoneReadMessage, problems_));
    return read;
  }
  if (!problems_.empty()) read.message = Message{std::string(kWarningTitle), problemList(kSomeLeftOutMessage, problems_)};
  sitemap_.shrinkToFit();
  read.sitemap = std::move(sitemap_);
  return read;
}

void SitemapReader::follow(const std::vector<std::string>& named, const std::string& base, int level) {
  named_ += named.size();
  for (const std::string& name : named) {
    if (stopped()) return;
    // Sitemaps must name others by absolute URLs; a relative one is read as a browser would.
    const std::string url = normaliseInputUrl(base.empty() ? name : resolveUrl(base, name));
    if (!isHttpUrl(url)) {
      note(name, "not an http or https URL");
    } else if (seen_.contains(url)) {
      continue;  // named twice, or an index naming itself: read once
    } else if (level > kMaxSitemapDepth) {
      note(url, "not read: sitemap indexes nested more than " + std::to_string(kMaxSitemapDepth) + " deep");
    } else if (read_ >= kMaxSitemaps) {
      ++leftOut_;
    } else {
      readNamed(url, level);
    }
  }
}

void SitemapReader::readNamed(const std::string& url, int level) {
  seen_.insert(url);
  ++read_;
  showProgress("Reading sitemap " + std::to_string(read_) + " of " +
                         std::to_string(std::min(named_, kMaxSitemaps)) + ": " + url);
  std::string body;
  if (!fetch(url, body)) return;
  Sitemap::Document document = sitemap_.add(body);
  body = {};  // before the sitemaps it names are fetched
  switch (document.failure) {
    case Sitemap::Document::Failure::Refused: note(url, oneLine(document.message)); break;
    case Sitemap::Document::Failure::TooLarge: note(url, tooLargeReason()); break;
    case Sitemap::Document::Failure::CannotLoad:
    case Sitemap::Document::Failure::Silent:
    case Sitemap::Document::Failure::None: break;
  }
  if (document.isIndex) follow(document.sitemaps, url, level + 1);
}

void SitemapReader::showProgress(const std::string& text) {
  if (fetcher_ != nullptr) fetcher_->showProgress(text);
}

void SitemapReader::note(const std::string& url, std::string_view problem) { problems_.push_back(url + ": " + std::string(problem)); }

}  // namespace tallyvane
