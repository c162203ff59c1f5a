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

const HttpLibrary& httpLibrary() {
  auto& bound = library();
  if (!bound) {
    bound = HttpLibrary::bind(executableDirectory());
    if (!bound || !bound->initialise()) {
      ADD_FAILURE() << "libcurl is not next to the test executable";
      std::abort();
    }
  }
  return *bound;
}

const CurlApi& curlApi() { return httpLibrary().api(); }

}  // namespace tallyvane::testing
