#include "tests/support/CurlEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"

namespace tallyvane::testing {
namespace {

std::unique_ptr<HttpLibrary>& library() {
  static std::unique_ptr<HttpLibrary> bound;
  return bound;
}

}  // namespace

const CurlApi& curlApi() {
  auto& bound = library();
  if (!bound) {
    bound = HttpLibrary::bind(executableDirectory());
    if (!bound || !bound->initialise()) {
      ADD_FAILURE() << "libcurl is not next to the test executable";
      std::abort();
    }
  }
  return bound->api();
}

}  // namespace tallyvane::testing
