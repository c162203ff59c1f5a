#pragma once
// The URLs of one crawl: a plain-text, CSV or sitemap file, the URL of a sitemap, sitemap index or
// robots.txt, or text entered by the user, with a queue of pending URLs (sitemap media, header
// links) served before the source is read again.
// Every URL handed out is normalised and percent-encoded. Workers call next() concurrently.

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/Message.h"
#include "input/DocumentFetcher.h"
#include "input/Sitemap.h"
#include "input/SitemapReader.h"
#include "input/TextLineReader.h"

namespace tallyvane {

inline constexpr std::string_view kInputFileMissingMessage = "Input file does not exist!";

enum class SourceKind { PlainText = 0, Csv = 1, Sitemap = 2, Memory = 3 };

// Where a URL handed out came from: the list itself, or the queue of pending URLs.
enum class UrlOrigin { None, List, Queue };

struct OpenOutcome {
  bool opened = false;
  // What to show: why it failed (some failures show nothing), or, opened, which sitemaps were left out.
  std::optional<Message> message;
  bool stopped = false;  // the crawl was stopped while sitemaps were fetched
};

class UrlInput {
 public:
  UrlInput();
  ~UrlInput();

  // The file (or http(s) URL) when fileName is not empty, else the manual text (lines separated by
  // CR LF). Empties the pending queue first. Runs before any worker starts. Sitemaps named by URL
  // are fetched through fetcher; without one they cannot be read.
  OpenOutcome open(const std::string& fileName, std::string manualText, DocumentFetcher* fetcher = nullptr);
  void close();

  // Replaces url with the next URL, pending ones first, in the room url already has; None (and
  // url empty) when the input is exhausted.
  UrlOrigin next(std::string& url);
  // How many URLs of the list next() will give, when the input knows it on opening (sitemaps are
  // read whole); -1 otherwise.
  int64_t listUrlCount() const;

  // Queues text that starts with "http://" or "https://"; anything else is dropped.
  void queuePending(std::string_view url);

 private:
  OpenOutcome openSitemaps(SitemapsRead read);
  bool readFromSource(std::string& into);
  bool readPlainLine(std::string& into);
  std::string readCsvRecord();
  std::string readSitemapEntry();
  std::string readMemoryLine();
  void queueLocked(std::string_view url);
  std::string takePending();

  mutable std::recursive_mutex lock_;
  std::deque<std::string> pending_;
  SourceKind kind_ = SourceKind::Memory;
  std::unique_ptr<TextLineReader> lines_;
  std::optional<Sitemap> sitemap_;
  size_t sitemapCursor_ = 0;
  std::string memoryText_;
  size_t memoryPosition_ = 0;
  bool memoryDone_ = true;
  char csvDelimiter_ = 0;  // decided by the first record
};

// The first field of a CSV record that starts with "http://" or "https://", or "".
std::string firstUrlField(std::string_view record, char delimiter = ',');

// The delimiter a CSV file's first record shows: a comma; else a semicolon or a tab, as
// spreadsheets in many locales export.
char csvDelimiterOf(std::string_view firstRecord);

// The source kind a file name gives, from its extension (letter case ignored); .xml.gz is a sitemap.
SourceKind sourceKindOf(std::string_view fileName);

// Whether an input can be opened as far as a dialog can tell: an existing file, or an http(s) URL
// (a sitemap, sitemap index or robots.txt), which is fetched when the crawl opens it.
bool inputExists(const std::string& name);

}  // namespace tallyvane
