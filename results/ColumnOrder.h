#pragma once
// The order of one column of the result list on keys taken from the records once, and a word per
// key that decides most comparisons without reaching the record again.

#include <cstdint>
#include <string_view>

#include "results/ResultRecord.h"

namespace tallyvane {

// What a column compares: a number, then a text. A numeric column has no text, a text column
// no number; the test result orders by its verdict, then by its reasons.
struct ColumnKey {
  int64_t number = 0;
  std::string_view text;
};

// A number as a word that orders unsigned as the number orders signed, and back.
inline uint64_t orderedBits(int64_t value) { return static_cast<uint64_t>(value) ^ (uint64_t{1} << 63); }
inline int64_t fromOrderedBits(uint64_t word) { return static_cast<int64_t>(word ^ (uint64_t{1} << 63)); }

// Bytes at..at+7 of text read big-endian, zero past its end: stored text holds no zero byte, so a
// shorter text gets the lower word, as byte order has it.
uint64_t eightBytesAt(std::string_view text, size_t at);

class ColumnOrder {
 public:
  ColumnOrder(int column, bool descending);

  int column() const { return column_; }
  bool descending() const { return descending_; }
  bool hasText() const { return hasText_; }

  ColumnKey keyOf(const ResultRecord& record) const;

  // -1, 0 or 1 in the view's direction; texts in byte order, an absent text counting as empty.
  int compare(const ColumnKey& a, const ColumnKey& b) const {
    int order = a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    if (order == 0 && hasText_) {
      const int texts = a.text.compare(b.text);
      order = texts < 0 ? -1 : (texts > 0 ? 1 : 0);
    }
    return descending_ ? -order : order;
  }
  bool before(const ColumnKey& a, const ColumnKey& b) const { return compare(a, b) < 0; }

  // A word that orders two keys as compare() does wherever the words differ. For a text column
  // it holds the eight bytes after prefix; a text that does not start with prefix sorts below or
  // above every text that does, and gets the lowest or highest word. Any prefix gives a correct
  // word; one that the texts share gives a telling one.
  uint64_t hint(const ColumnKey& key, std::string_view prefix) const;
  bool hintUsesPrefix() const { return !numbered_; }
  bool numbered() const { return numbered_; }
  // The number a word holds, for a column ordered by a number first; 0 for any other.
  int64_t numberOf(uint64_t hint) const { return numbered_ ? fromOrderedBits(descending_ ? ~hint : hint) : 0; }
  // Whether equal words mean equal keys.
  bool hintIsWholeKey() const { return !hasText_; }

 private:
  int column_;
  bool descending_;
  bool hasText_;
  bool numbered_;  // the key's number is part of the order
};

// A key's text as the store keeps it: its zero-terminated bytes, or nullptr when empty. Keys
// taken from records (keyOf) point at the store's own texts.
inline const char* storedText(std::string_view text) { return text.empty() ? nullptr : text.data(); }

// The bytes a and b share at their start.
std::string_view sharedPrefix(std::string_view a, std::string_view b);

}  // namespace tallyvane
