#include "results/SharedTexts.h"

namespace tallyvane {

const char* SharedTexts::copy(std::string_view text, Arena& arena) {
  if (text.empty()) return nullptr;  // most Vary and X-Robots-Tag fields: no lookup needed
  if (text.size() > kLongestShared) return arena.copyText(text);
  if (const auto found = copies_.find(text); found != copies_.end()) return found->second;
  const char* copy = arena.copyText(text);
  if (copy && copies_.size() < kMostShared) copies_.emplace(std::string_view(copy, text.size()), copy);
  return copy;
}

size_t SharedTexts::memoryBytes() const {
  // A node per text (key, value, hash and link) and a pointer per bucket.
  return copies_.size() * (sizeof(std::string_view) + sizeof(const char*) + 2 * sizeof(void*)) +
         copies_.bucket_count() * sizeof(void*);
}

}  // namespace tallyvane
