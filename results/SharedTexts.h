#pragma once
// Short texts that repeat over millions of records (status texts, content types, Vary and
// X-Robots-Tag values, link relations and languages, test reasons), stored once. Records never
// free a text on their own, so sharing one is invisible to them.

#include <cstddef>
#include <string_view>
#include <unordered_map>

#include "results/Arena.h"

namespace tallyvane {

class SharedTexts {
 public:
  // A zero-terminated copy of text in arena, or nullptr when empty; a short text equal to one
  // copied before gets that copy. Throws std::bad_alloc.
  const char* copy(std::string_view text, Arena& arena);
  // With the arena's clear: the copies are gone.
  void clear() { std::unordered_map<std::string_view, const char*>().swap(copies_); }
  size_t memoryBytes() const;

 private:
  // Longer texts rarely repeat; the cap bounds the table when short ones do not repeat either.
  static constexpr size_t kLongestShared = 64;
  static constexpr size_t kMostShared = size_t{1} << 16;
  std::unordered_map<std::string_view, const char*> copies_;
};

}  // namespace tallyvane
