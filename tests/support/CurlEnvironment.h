#pragma once
// libcurl bound and initialised once for a whole test program, as at start-up.

#include "app/HttpLibrary.h"
#include "engine/CurlApi.h"

namespace tallyvane::testing {

// Bound on first use; the program ends when the library cannot be bound.
const HttpLibrary& httpLibrary();
const CurlApi& curlApi();

}  // namespace tallyvane::testing
