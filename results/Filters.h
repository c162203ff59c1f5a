#pragma once
// The thirteen filters of the result list. Filter 0 ("All URLs") has no index list.

#include <array>
#include <cstdint>
#include <string_view>

#include "results/ResultRecord.h"

namespace tallyvane {

inline constexpr int kFilterCount = 13;

inline constexpr std::array<std::string_view, kFilterCount + 1> kFilterNames = {
    "All URLs",
    "HTTP URLs",
    "HTTPS URLs",
    "2XX - Success",
    "3XX - Redirects",
    "301 Redirects",
    "302 Redirects",
    "Redirect Chains",
    "Redirect Loops",
    "4xx Client Errors",
    "Page Not Found",
    "5xx Server Errors",
    "Slow Pages",
    "No Response / Timeout",
};

// Bit f is set when filter f (1..13) shows the record.
uint32_t filtersShowing(const ResultRecord& record, int64_t slowPageThresholdMs);

}  // namespace tallyvane
