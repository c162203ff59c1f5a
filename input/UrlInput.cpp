#include "input/UrlInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "base/FileDescriptor.h"
#include "base/Text.h"
#include "input/UrlNormalization.h"
#include "input/UrlParts.h"

namespace tallyvane {
namespace {

// Reads up to four bytes of the start of a file; the rest stays to be read.
std::string readMark(int fd) {
  char bytes[4];
  const ssize_t got = readSomeAt(fd, bytes, sizeof bytes, 0);
  return got > 0 ? std::string(bytes, static_cast<size_t>(got)) : std::string();
}

size_t countQuotes(std::string_view text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '"')); }

}  // namespace

SourceKind sourceKindOf(std::string_view fileName) {
  const auto extensionOf = [](std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  };
  std::string_view extension = extensionOf(fileName);
  if (equalsIgnoreCase(extension, "gz")) {
    extension = extensionOf(fileName.substr(0, fileName.size() - 3));
    return equalsIgnoreCase(extension, "xml") ? SourceKind::Sitemap : SourceKind::PlainText;
  }
  if (equalsIgnoreCase(extension, "csv")) return SourceKind::Csv;
  if (equalsIgnoreCase(extension, "xml")) return SourceKind::Sitemap;
  return SourceKind::PlainText;
}

bool inputExists(const std::string& name) {
  if (isHttpUrl(name)) return true;
  struct stat info {};
  return ::stat(name.c_str(), &info) == 0;
}

char csvDelimiterOf(std::string_view firstRecord) {
  if (firstRecord.find(',') != std::string_view::npos) return ',';
  if (firstRecord.find(';') != std::string_view::npos) return ';';
  if (firstRecord.find('\t') != std::string_view::npos) return '\t';
  return ',';
}

std::string firstUrlField(std::string_view record, char delimiter) {
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i <= record.size(); ++i) {
    const bool end = i == record.size();
    const char c = end ? delimiter : record[i];
    if (!end && c == '"') {
      quoted = !quoted;  // quotes are dropped; a doubled quote adds nothing
    } else if (c == delimiter && (!quoted || end)) {
      if (isHttpUrl(field)) return field;
      field.clear();
    } else {
      field.push_back(c);
    }
  }
  return {};
}

UrlInput::UrlInput() = default;
UrlInput::~UrlInput() = default;

OpenOutcome UrlInput::open(const std::string& fileName, std::string manualText, DocumentFetcher* fetcher) {
  std::lock_guard lock(lock_);
  close();
  if (fileName.empty()) {
    kind_ = SourceKind::Memory;
    memoryText_ = std::move(manualText);
    memoryPosition_ = 0;
    memoryDone_ = false;
    return {true, std::nullopt};
  }
  if (isHttpUrl(fileName)) return openSitemaps(SitemapReader(fetcher).readUrl(normaliseInputUrl(fileName)));
  FileDescriptor fd = openFile(fileName.c_str(), O_RDONLY);
  struct stat info {};
  if (fd.valid() && (::fstat(fd.get(), &info) != 0 || S_ISDIR(info.st_mode))) fd.reset();  // a folder reads as empty
  if (!fd.valid()) return {false, errorMessage("There was an error trying to open " + fileName)};
  const std::string mark = readMark(fd.get());
  TextEncoding encoding = TextEncoding::Unmarked;
  size_t markLength = 0;
  if (mark.starts_with("\xFF\xFE")) {  // tested first: FF FE 00 00 is read as UTF-16LE
    encoding = TextEncoding::Utf16Le, markLength = 2;
  } else if (mark.starts_with("\xEF\xBB\xBF")) {
    encoding = TextEncoding::Utf8, markLength = 3;
  } else if (mark.starts_with("\xFE\xFF")) {
    encoding = TextEncoding::Utf16Be, markLength = 2;
  } else if (mark.starts_with(std::string_view("\x00\x00\xFE\xFF", 4))) {
    return {false, errorMessage("Unsupported text encoding format")};
  }
  kind_ = sourceKindOf(fileName);
  csvDelimiter_ = 0;
  // The parser reads the mark itself.
  if (kind_ == SourceKind::Sitemap) return openSitemaps(SitemapReader(fetcher).readFile(fileName, std::move(fd)));
  ::lseek(fd.get(), static_cast<off_t>(markLength), SEEK_SET);
  lines_ = std::make_unique<TextLineReader>(std::move(fd), encoding);
  return {true, std::nullopt};
}

OpenOutcome UrlInput::openSitemaps(SitemapsRead read) {
  kind_ = SourceKind::Sitemap;
  if (!read.sitemap) return {false, std::move(read.message), read.stopped};
  sitemap_ = std::move(read.sitemap);
  sitemapCursor_ = 0;
  return {true, std::move(read.message)};
}

void UrlInput::close() {
  std::lock_guard lock(lock_);
  pending_.clear();
  lines_.reset();
  sitemap_.reset();
  memoryText_.clear();
  memoryDone_ = true;
}

void UrlInput::queuePending(std::string_view url) {
  std::lock_guard lock(lock_);
  queueLocked(url);
}

std::string UrlInput::takePending() {
  std::string url = std::move(pending_.front());
  pending_.pop_front();
  return url;
}

void UrlInput::queueLocked(std::string_view url) {
  if (isHttpUrl(url)) pending_.emplace_back(url);
}

UrlOrigin UrlInput::next(std::string& url) {
  url.clear();
  bool fromSource = false;
  {
    std::lock_guard lock(lock_);
    if (pending_.empty()) fromSource = readFromSource(url);
    // Reading the source can queue URLs (a last sitemap entry without loc): they are not lost.
    if (url.empty() && !pending_.empty()) url = takePending();
  }
  if (url.empty()) return UrlOrigin::None;
  // Every worker takes the lock for each of its URLs: the normalising is done outside it.
  url = normaliseInputUrl(std::move(url));
  return fromSource ? UrlOrigin::List : UrlOrigin::Queue;
}

int64_t UrlInput::listUrlCount() const {
  std::lock_guard lock(lock_);
  if (kind_ != SourceKind::Sitemap || !sitemap_) return -1;
  int64_t count = 0;
  for (size_t i = 0; i < sitemap_->entryCount(); ++i) count += sitemap_->entry(i).loc != Sitemap::kNoLoc;
  return count;
}

bool UrlInput::readFromSource(std::string& into) {
  switch (kind_) {
    case SourceKind::PlainText: return readPlainLine(into);
    case SourceKind::Csv: into = readCsvRecord(); break;
    case SourceKind::Sitemap: into = readSitemapEntry(); break;
    case SourceKind::Memory: into = readMemoryLine(); break;
  }
  return !into.empty();
}

bool UrlInput::readPlainLine(std::string& into) {
  if (!lines_) return false;
  while (lines_->nextLine(into)) {
    const std::string_view trimmed = trimBlanks(into);
    if (trimmed.empty()) continue;
    // Nearly every line has no blank to trim: it is handed on in place.
    if (trimmed.size() != into.size()) into.assign(trimmed.data(), trimmed.size());
    return true;
  }
  into.clear();
  return false;
}

std::string UrlInput::readCsvRecord() {
  for (;;) {
    std::string record;
    if (!readPlainLine(record)) return {};
    // An odd number of quotes means a quoted field goes on over the next line.
    size_t quotes = countQuotes(record);
    while (quotes % 2 == 1 && record.size() < kMaxLineBytes) {
      std::string line;
      if (!lines_->nextLine(line)) break;
      const std::string_view trimmed = trimBlanks(line);
      record.append(trimmed.substr(0, kMaxLineBytes - record.size()));
      quotes += countQuotes(trimmed);
    }
    if (csvDelimiter_ == 0) csvDelimiter_ = csvDelimiterOf(record);
    std::string url = firstUrlField(record, csvDelimiter_);
    if (!url.empty()) return url;
  }
}

std::string UrlInput::readSitemapEntry() {
  if (!sitemap_) return {};
  while (sitemapCursor_ < sitemap_->entryCount()) {
    const Sitemap::Entry& entry = sitemap_->entry(sitemapCursor_++);
    // Media go to the queue; they are served right after the entry's loc.
    for (uint32_t k = 0; k < entry.mediaCount; ++k) queueLocked(sitemap_->media(entry, k));
    if (entry.loc != Sitemap::kNoLoc) return std::string(sitemap_->loc(entry));
  }
  return {};
}

std::string UrlInput::readMemoryLine() {
  while (!memoryDone_) {
    const size_t end = memoryText_.find("\r\n", memoryPosition_);
    const std::string_view line =
        std::string_view(memoryText_)
            .substr(memoryPosition_, end == std::string::npos ? std::string::npos : end - memoryPosition_);
    if (end == std::string::npos) {
      memoryDone_ = true;
    } else {
      memoryPosition_ = end + 2;
    }
    const std::string_view trimmed = trimBlanks(line);
    if (!trimmed.empty()) return std::string(trimmed);
  }
  return {};
}

}  // namespace tallyvane
