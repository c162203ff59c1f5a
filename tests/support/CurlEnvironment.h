#pragma once
// libcurl bound and initialised once for a whole test program, as at start-up.

#include "engine/CurlApi.h"

namespace tallyvane::testing {

const CurlApi& curlApi();

}  // namespace tallyvane::testing
