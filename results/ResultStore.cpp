#include "results/ResultStore.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace tallyvane {
namespace {

// Hop 0 plus the redirect answers that lead from it, at most 11.
size_t responsesToKeep(std::span<const HopRecord> hops) {
  const size_t limit = std::min<size_t>(hops.size(), kHopsPerChain);
  size_t n = 1;
  while (n < limit && hops[n - 1].isRedirect()) ++n;
  return n;
}

// Appending must not fail once the record is committed, so room is made beforehand.
void ensureRoomForOne(IndexList& list) {
  if (list.size() == list.capacity()) list.reserve(list.capacity() * 2 + ResultStore::kBlockSize);
}

// Calls visit(list) for the index list of every filter whose bit is set, lowest first: a record
// shows in three or four of them.
template <typename Visit>
void forEachFilterList(std::vector<IndexList>& lists, uint32_t filters, Visit visit) {
  for (; filters != 0; filters &= filters - 1) visit(lists[static_cast<size_t>(std::countr_zero(filters) - 1)]);
}

}  // namespace

ResultStore::ResultStore(ResultStoreOptions options)
    : options_(options),
      filterLists_(kFilterCount),
      arena_(options.memoryLimitBytes) {}

ResultStore::~ResultStore() = default;

void ResultStore::packHeaders(std::span<const HopRecord> hops, PackedChain& into) const {
  into.count = 0;
  const size_t n = hops.empty() ? 0 : responsesToKeep(hops);
  for (size_t i = 0; i < n; ++i) {
    // No dictionary yet: add() packs them, gathering its samples.
    if (!headerPacker_.packAhead(hops[i].rawHeaders, into.blobs[i]) && !hops[i].rawHeaders.empty()) return;
  }
  into.count = n;
}

ResultRecord* ResultStore::buildRecord(std::span<const HopRecord> hops, TestMode testMode, const PackedChain* packed) {
  const size_t n = responsesToKeep(hops);
  auto* responses = arena_.allocateArray<ResponseRecord>(n);
  for (size_t i = 0; i < n; ++i) {
    const HopRecord& hop = hops[i];
    ResponseRecord& r = responses[i];
    r.url = arena_.copyText(hop.url);
    r.statusCode = storedStatusCode(hop.statusCode);
    r.size = hop.size;
    r.responseTime = storedResponseTime(hop.responseTime);
    r.statusText = sharedTexts_.copy(hop.statusText, arena_);
    r.type = sharedTexts_.copy(hop.contentType, arena_);
    r.xRobotsTag = sharedTexts_.copy(hop.xRobotsTag, arena_);
    r.vary = sharedTexts_.copy(hop.vary, arena_);
    r.rawHeaders = packed && i < packed->count ? HeaderPacker::place(packed->blobs[i], arena_)
                                               : headerPacker_.pack(hop.rawHeaders, arena_);
    const size_t linkCount = hop.linksToKeep();
    LinkRecord* links = linkCount ? arena_.allocateArray<LinkRecord>(linkCount) : nullptr;
    for (size_t k = 0; k < linkCount; ++k) {
      links[k] = LinkRecord{arena_.copyText(hop.links[k].link), sharedTexts_.copy(hop.links[k].rel, arena_),
                            sharedTexts_.copy(hop.links[k].hreflang, arena_)};
    }
    r.links = links;
    r.linkCount = static_cast<uint8_t>(linkCount);
  }
  auto* record = arena_.allocateArray<ResultRecord>(1);
  record->responses = responses;
  const bool testFields = testMode != TestMode::None;
  record->testReason = testFields ? sharedTexts_.copy(hops[0].testNote, arena_) : nullptr;
  record->testPassed = testFields ? hops[0].testPassed : 0;
  record->chainKind = static_cast<uint8_t>(hops[0].kind);
  record->responseCount = static_cast<uint8_t>(n);
  return record;
}

bool ResultStore::claim(std::string_view url, PackedChain& chain) {
  const uint32_t crc = urlCrc(url);
  std::lock_guard lock(storeLock_);
  if (findStored(url, crc) || !claimed_.insert(crc, url)) return false;
  chain.claimedCrc = crc;
  return true;
}

void ResultStore::release(std::string_view url, PackedChain& chain) {
  if (!chain.claimedCrc) return;
  std::lock_guard lock(storeLock_);
  claimed_.erase(*chain.claimedCrc, url);
  chain.claimedCrc.reset();
}

bool ResultStore::add(std::span<const HopRecord> hops, TestMode testMode, FatalErrorSlot& fatal, PackedChain* packed) {
  if (hops.empty()) return false;
  const std::optional<uint32_t> claimedCrc = packed ? std::exchange(packed->claimedCrc, std::nullopt) : std::nullopt;
  const uint32_t crc = claimedCrc ? *claimedCrc : urlCrc(hops[0].url);
  std::lock_guard lock(storeLock_);
  // Under the lock that inserts the record: another worker's claim finds the URL claimed or stored.
  if (claimedCrc) claimed_.erase(crc, hops[0].url);
  const auto index = static_cast<uint64_t>(count_);
  try {
    if (index / kBlockSize == blocks_.size()) {
      blocks_.reserve(blocks_.size() + 1);
      blocks_.emplace_back(new const ResultRecord*[kBlockSize]());
    }
    ResultRecord* record = buildRecord(hops, testMode, packed);
    const uint32_t filters = filtersShowing(*record, options_.slowPageThresholdMs, testMode);
    forEachFilterList(filterLists_, filters, ensureRoomForOne);
    const bool intoSorted = sorted_ && showsIn(filters, sortedFilter_);
    const ColumnKey sortKey = intoSorted ? sorted_->order().keyOf(*record) : ColumnKey{};
    SortedOrder::Place place;
    if (intoSorted) {
      place = sorted_->find(sortKey);
      sorted_->makeRoom(place);
    }
    urlIndex_.reserveOne();
    // Nothing below can fail: the record becomes visible complete and exactly once.
    blocks_[index / kBlockSize][index % kBlockSize] = record;
    forEachFilterList(filterLists_, filters, [&](IndexList& list) { list.push_back(static_cast<uint32_t>(index)); });
    urlIndex_.insert(crc, static_cast<uint32_t>(index));
    ++count_;
    // After every equal entry, so equal rows keep the order they came in.
    if (intoSorted) sorted_->insert(place, static_cast<uint32_t>(index), sortKey);
    return true;
  } catch (const std::bad_alloc&) {
    fatal.raise(std::string(kErrorTitle), std::string(kNotEnoughMemoryMessage), kOutOfMemory);
    return false;
  }
}

int64_t ResultStore::count() const {
  std::lock_guard lock(storeLock_);
  return count_;
}

const ResultRecord* ResultStore::recordAtIndex(int64_t index) const {
  std::lock_guard lock(storeLock_);
  if (index < 0 || index >= count_) return nullptr;
  return recordAt(static_cast<uint64_t>(index));
}

int64_t ResultStore::rowCount(ViewSelection view) const {
  std::lock_guard lock(storeLock_);
  if (view.sorted) return sorted_ ? static_cast<int64_t>(sorted_->size()) : 0;
  if (view.filter != Filter::AllUrls) return static_cast<int64_t>(indexList(view.filter).size());
  return count_;
}

const ResultRecord* ResultStore::recordAtRow(int64_t row, ViewSelection view) const {
  std::lock_guard lock(storeLock_);
  if (row < 0) return nullptr;
  if (view.sorted) {
    return sorted_ && static_cast<uint64_t>(row) < sorted_->size() ? recordAt(sorted_->at(static_cast<size_t>(row))) : nullptr;
  }
  if (view.filter == Filter::AllUrls) return row < count_ ? recordAt(static_cast<uint64_t>(row)) : nullptr;
  const IndexList& list = indexList(view.filter);
  if (static_cast<uint64_t>(row) >= list.size()) return nullptr;
  return recordAt(list[static_cast<size_t>(row)]);
}

size_t ResultStore::recordsFrom(int64_t first, std::span<const ResultRecord*> out) const {
  std::lock_guard lock(storeLock_);
  size_t taken = 0;
  for (int64_t index = std::max<int64_t>(first, 0); taken < out.size() && index < count_; ++index) {
    out[taken++] = recordAt(static_cast<uint64_t>(index));
  }
  return taken;
}

size_t ResultStore::indicesOfRows(int64_t first, std::span<uint32_t> out, ViewSelection view) const {
  std::lock_guard lock(storeLock_);
  if (view.sorted) return sorted_ && first >= 0 ? sorted_->copyRows(static_cast<size_t>(first), out) : 0;
  const int64_t rows = rowCount(view);
  size_t taken = 0;
  for (int64_t row = std::max<int64_t>(first, 0); taken < out.size() && row < rows; ++row) {
    if (view.filter != Filter::AllUrls) {
      out[taken++] = indexList(view.filter)[static_cast<size_t>(row)];
    } else {
      out[taken++] = static_cast<uint32_t>(row);
    }
  }
  return taken;
}

void ResultStore::recordsAt(std::span<const uint32_t> indices, std::span<const ResultRecord*> out) const {
  std::lock_guard lock(storeLock_);
  for (size_t i = 0; i < indices.size(); ++i) out[i] = recordAt(indices[i]);
}

bool ResultStore::contains(std::string_view url) const {
  const uint32_t crc = urlCrc(url);
  std::lock_guard lock(storeLock_);
  return findStored(url, crc);
}

bool ResultStore::findStored(std::string_view url, uint32_t crc) const {
  return urlIndex_.find(crc, [&](uint32_t index) { return textOf(recordAt(index)->first().url) == url; });
}

void ResultStore::clear() {
  std::lock_guard lock(storeLock_);
  sorted_.reset();
  blocks_.clear();
  urlIndex_.clear();
  claimed_.clear();
  headerPacker_.clear();
  for (auto& list : filterLists_) IndexList().swap(list);
  arena_.clear();
  sharedTexts_.clear();
  count_ = 0;
}

IndexList ResultStore::rowsOfFilterFrom(Filter filter, size_t first) const {
  if (filter != Filter::AllUrls) {
    const IndexList& list = indexList(filter);
    return IndexList(list.begin() + static_cast<std::ptrdiff_t>(std::min(first, list.size())), list.end());
  }
  IndexList rows(first < static_cast<size_t>(count_) ? static_cast<size_t>(count_) - first : 0);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint32_t>(first + i);
  return rows;
}

SortSnapshot ResultStore::snapshotForSort(Filter filter) const {
  SortSnapshot snapshot;
  snapshot.filter = filter;
  return rowsAddedSince(snapshot);
}

SortSnapshot ResultStore::rowsAddedSince(SortSnapshot& snapshot) const {
  std::lock_guard lock(storeLock_);
  SortSnapshot added;
  added.filter = snapshot.filter;
  added.rows = rowsOfFilterFrom(snapshot.filter, snapshot.rowsAtSnapshot);
  snapshot.rowsAtSnapshot += added.rows.size();
  added.rowsAtSnapshot = snapshot.rowsAtSnapshot;
  added.blocks.reserve(blocks_.size());
  for (const auto& block : blocks_) added.blocks.push_back(block.get());
  return added;
}

void ResultStore::installSortedOrder(std::unique_ptr<SortedOrder> order, const SortSnapshot& snapshot) {
  {
    // One lock for the late rows and the swap, so a record added meanwhile is placed exactly once.
    std::lock_guard lock(storeLock_);
    for (const uint32_t index : rowsOfFilterFrom(snapshot.filter, snapshot.rowsAtSnapshot)) {
      order->insertRow(index, order->order().keyOf(*recordAt(index)));
    }
    std::swap(sorted_, order);
    sortedFilter_ = snapshot.filter;
  }
  // The order replaced is freed after the lock is left.
}

void ResultStore::dropSortedOrder() {
  std::unique_ptr<SortedOrder> dropped;
  std::lock_guard lock(storeLock_);
  std::swap(sorted_, dropped);
}

bool ResultStore::isSorted() const {
  std::lock_guard lock(storeLock_);
  return sorted_ != nullptr;
}

size_t ResultStore::sortedOrderBytes() const {
  std::lock_guard lock(storeLock_);
  return sorted_ ? sorted_->memoryBytes() : 0;
}

bool ResultStore::resetFilterLists() {
  std::lock_guard lock(storeLock_);
  sorted_.reset();
  try {
    for (auto& list : filterLists_) {
      IndexList().swap(list);
      list.reserve(kBlockSize);
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

size_t ResultStore::memoryBytes() const {
  std::lock_guard lock(storeLock_);
  size_t bytes = arena_.bytesHeld() + sharedTexts_.memoryBytes() + headerPacker_.memoryBytes() + blocks_.size() * kBlockSize * sizeof(ResultRecord*) + urlIndex_.memoryBytes() +
                 sortedOrderBytes();
  for (const auto& list : filterLists_) bytes += list.capacity() * sizeof(uint32_t);
  return bytes;
}

}  // namespace tallyvane
