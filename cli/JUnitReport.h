#pragma once
// The results of a redirect test as JUnit XML, the format CI servers read: one test case per
// URL checked, named by the URL, with a failure element holding the reasons of every FAIL.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/Message.h"
#include "cli/FailureDetail.h"
#include "results/ResultStore.h"

namespace tallyvane::cli {

// The file replaces an existing one only when it is complete. A failure's message tells what it
// met and, when expected is given, the target the test expected.
std::optional<Message> writeJUnitReport(const ResultStore& store, std::string_view suiteName,
                                        const ExpectedTarget& expected, const std::filesystem::path& path);

// Text made safe for an XML attribute or element: markup escaped, characters XML cannot hold
// dropped.
std::string xmlEscaped(std::string_view text);

}  // namespace tallyvane::cli
