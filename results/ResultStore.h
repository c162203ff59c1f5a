#pragma once
// Holds every checked URL of the session. Workers add records while readers (list, reports,
// results file) read them; every access goes through storeLock. A record pointer stays valid
// until clear(), which runs only while nothing else uses the store.

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Message.h"
#include "results/Arena.h"
#include "results/FatalErrorSlot.h"
#include "results/Filters.h"
#include "results/HopRecord.h"
#include "results/InFlightUrls.h"
#include "results/LargePages.h"
#include "results/ResultRecord.h"
#include "results/SharedTexts.h"
#include "results/SortedOrder.h"
#include "results/UrlIndex.h"

namespace tallyvane {

inline constexpr std::string_view kNotEnoughMemoryMessage = "Not enough memory!";

// Record indices in store order: a filter's rows, or those a sort works on. Millions of them, so
// in large pages.
using IndexList = LargeVector<uint32_t>;

// Which rows the result list shows: the sorted order wins over the filter.
struct ViewSelection {
  bool sorted = false;
  Filter filter = Filter::AllUrls;
};

// What a sort works on, taken under the lock: the rows to order and a private copy of the block
// list, so records stay reachable while workers add blocks.
struct SortSnapshot {
  Filter filter = Filter::AllUrls;
  IndexList rows;
  std::vector<const ResultRecord* const*> blocks;
  size_t rowsAtSnapshot = 0;  // rows of the filter (or records) when the snapshot was taken

  const ResultRecord& record(uint32_t index) const {
    return *blocks[index / 1024][index % 1024];
  }
};

// What the thread that checked a chain prepares for add() off the store's lock: its header blocks
// packed (ResultStore::packHeaders), as packing under the lock made every other worker wait, and
// its claim on the URL (ResultStore::claim).
struct PackedChain {
  std::array<std::string, kHopsPerChain> blobs;
  size_t count = 0;  // 0: add() packs them itself
  std::optional<uint32_t> claimedCrc;  // the URL's CRC while it is claimed
};

struct ResultStoreOptions {
  int64_t slowPageThresholdMs = 2000;
  size_t memoryLimitBytes = std::numeric_limits<size_t>::max();  // text and record bytes
};

class ResultStore {
 public:
  static constexpr size_t kBlockSize = 1024;
  static constexpr int kSortedList = 14;

  explicit ResultStore(ResultStoreOptions options = {});
  ~ResultStore();
  ResultStore(const ResultStore&) = delete;
  ResultStore& operator=(const ResultStore&) = delete;

  // A worker's claim on checking url, so that a URL listed twice is requested once: false when
  // the URL is stored or claimed already. The URL must stay in place while it is claimed. The
  // claim ends with add() of the chain, stored or not, or with release().
  bool claim(std::string_view url, PackedChain& chain);
  void release(std::string_view url, PackedChain& chain);
  // Keeps hop 0 and every leading redirect after it (at most 11 hops). On memory exhaustion
  // nothing is added, the slot gets "Not enough memory!" and the result is false.
  bool add(std::span<const HopRecord> hops, TestMode testMode, FatalErrorSlot& fatal, PackedChain* packed = nullptr);
  // Without the lock, on the adding thread: packs the header blocks add() will keep of hops.
  void packHeaders(std::span<const HopRecord> hops, PackedChain& into) const;

  int64_t count() const;
  const ResultRecord* recordAtIndex(int64_t index) const;              // nullptr out of range
  const ResultRecord* recordAtRow(int64_t row, ViewSelection view) const;  // nullptr out of range
  int64_t rowCount(ViewSelection view) const;
  // Batches under one lock, for scans of a million rows: the records from index first on in store
  // order, and the store indices of the view's rows from row first on; as many as fit in out, or
  // fewer at the end. Return how many.
  size_t recordsFrom(int64_t first, std::span<const ResultRecord*> out) const;
  size_t indicesOfRows(int64_t first, std::span<uint32_t> out, ViewSelection view) const;
  // The records of store indices (from indicesOfRows), under one lock; out as long as indices.
  void recordsAt(std::span<const uint32_t> indices, std::span<const ResultRecord*> out) const;
  bool contains(std::string_view url) const;
  void clear();
  // Empties the index lists with room for 1024 entries each; false when memory is short.
  bool resetFilterLists();

  // The sorted order (index list 14). While it is installed, every added record that belongs to
  // its filter is inserted in order, after the records it equals.
  SortSnapshot snapshotForSort(Filter filter) const;
  // The rows of the snapshot's filter added since it was taken, with the blocks that reach them;
  // the snapshot then counts them as taken.
  SortSnapshot rowsAddedSince(SortSnapshot& snapshot) const;
  // Installs the order of the snapshot's rows; rows added since are inserted, after their equals.
  void installSortedOrder(std::unique_ptr<SortedOrder> order, const SortSnapshot& snapshot);
  void dropSortedOrder();
  bool isSorted() const;

  // Bytes the store holds: records and texts, blocks, the URL index and the index lists.
  size_t memoryBytes() const;
  // Of which the sorted order's.
  size_t sortedOrderBytes() const;

 private:
  const ResultRecord* recordAt(uint64_t index) const { return blocks_[index / kBlockSize][index % kBlockSize]; }
  bool findStored(std::string_view url, uint32_t crc) const;  // under the lock; crc: urlCrc(url)
  ResultRecord* buildRecord(std::span<const HopRecord> hops, TestMode testMode, const PackedChain* packed);
  // Of a filter other than "All URLs".
  const IndexList& indexList(Filter filter) const { return filterLists_[static_cast<size_t>(filterNumber(filter) - 1)]; }
  IndexList rowsOfFilterFrom(Filter filter, size_t first) const;

  ResultStoreOptions options_;
  mutable std::recursive_mutex storeLock_;
  int64_t count_ = 0;
  std::vector<std::unique_ptr<const ResultRecord*[]>> blocks_;
  UrlIndex urlIndex_;
  InFlightUrls claimed_;
  std::vector<IndexList> filterLists_;  // of filter number f at f - 1
  std::unique_ptr<SortedOrder> sorted_;             // list 14, while a sorted order is installed
  Arena arena_;
  SharedTexts sharedTexts_;  // empties with the arena
  HeaderPacker headerPacker_;
  Filter sortedFilter_ = Filter::AllUrls;
};

}  // namespace tallyvane
