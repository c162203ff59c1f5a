#pragma once
// The verdict of the mapping test for one URL: redirected exactly once, with 301, by a rule of
// the table, to exactly the expected URL, which answered 200.

#include "input/MappingRules.h"
#include "input/TestVerdict.h"

namespace tallyvane {

// Reasons in this order: not redirected, redirect chain, bad final url, non-200 final url
// status, no redirect rule, non-301 redirect.
TestVerdict evaluateMapping(const ChainOutline& chain, const MappingTable& table);

}  // namespace tallyvane
