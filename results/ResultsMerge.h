#pragma once
// Joins results files of one list's shards into one results file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "base/Message.h"

namespace tallyvane {

struct MergeOutcome {
  std::optional<Message> message;  // nothing when the merged file was written
  int64_t records = 0;             // in the merged file
  int64_t duplicates = 0;          // URLs found again in a later input, left out
};

// Writes every record of the inputs to output through the safe replace, a URL found in more than
// one input kept from the first. Records are copied as they are, without being rebuilt, once their
// input has been read and checked whole; files of a check and of a test are refused, and any
// failure leaves output as it was.
MergeOutcome mergeResults(const std::vector<std::filesystem::path>& inputs, const std::filesystem::path& output);

}  // namespace tallyvane
