#pragma once
// The search over the result list: the rows of a view whose URL holds a text, letter case
// ignored (ASCII letters). At a million rows a scan takes longer than a keystroke may wait, so it
// runs on a thread of its own; a newer text abandons the scan of an older one, and a text that
// holds the last one may look at the last one's rows only.
//
// Threads: the front end's main thread calls everything; found() runs on the search thread.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/ThreadAffinity.h"
#include "results/ResultStore.h"

namespace tallyvane {

// Whether text holds lowerNeedle (already lower-case), ASCII letters compared without case.
bool containsIgnoringCase(std::string_view text, std::string_view lowerNeedle);

class UrlSearch {
 public:
  // The records found, in the view's order. Record pointers, not row numbers: rows inserted into
  // a sorted view move the rows, never the records, so an older result still shows matches.
  using Rows = std::vector<const ResultRecord*>;

  explicit UrlSearch(const ResultStore& store);
  ~UrlSearch();
  UrlSearch(const UrlSearch&) = delete;
  UrlSearch& operator=(const UrlSearch&) = delete;

  // Runs on the search thread each time a scan is complete.
  void setFound(std::function<void()> found);

  // Searches the rows of view for text; an empty text ends the search. The result of an earlier
  // text is kept until the new one is complete.
  void search(std::string_view text, ViewSelection view);
  // Rows were added to the view: appended ones are scanned alone; when the order changed (a
  // sorted view) every row is scanned again.
  void rowsAdded(bool orderChanged);
  // Abandons a scan in progress and forgets the result; before the store is cleared.
  void stop();

  bool active() const;
  std::string text() const;
  // The latest complete result; nullptr while no search is active or none is complete yet.
  std::shared_ptr<const Rows> rows() const;

 private:
  struct Scan {
    std::string needle;  // lower-case
    ViewSelection view;
    int64_t fromRow = 0;
    std::shared_ptr<const Rows> base;  // the rows found before fromRow
    // base holds the rows of a text this needle contains, which cover fromRow rows: only they can
    // match.
    bool narrowing = false;
  };
  // Matches of the needle among the first count records of the store, in store order: each
  // match's store index and record go to found. False when abandoned.
  using Found = std::function<void(size_t index, const ResultRecord* record)>;
  bool scanStore(const Scan& scan, uint64_t generation, int64_t count, const Found& found) const;
  bool abandoned(uint64_t generation) const;
  void start(Scan scan);
  void run();
  // Empty when abandoned.
  std::shared_ptr<const Rows> scanRows(const Scan& scan, uint64_t generation, int64_t& endRow) const;
  std::shared_ptr<const Rows> narrowRows(const Scan& scan, uint64_t generation) const;

  const ResultStore& store_;
  const ThreadOwner owner_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::function<void()> found_;
  std::string needle_;
  ViewSelection view_;
  std::shared_ptr<const Rows> rows_;
  bool rowsCurrent_ = false;  // rows_ are of needle_ and view_, not of the text before
  int64_t scannedRows_ = 0;  // rows of the view the result covers
  bool scanPending_ = false;
  bool scanning_ = false;
  Scan pending_;
  uint64_t generation_ = 0;  // a new search, a rescan or stop() abandons every older scan
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace tallyvane
