#include "input/TestVerdict.h"

namespace tallyvane {

std::optional<TestVerdict> earlyVerdict(ChainEnd end) {
  switch (end) {
    case ChainEnd::Loop: return TestVerdict{false, "[redirect loop]"};
    case ChainEnd::MaxRedirects: return TestVerdict{false, "[max redirects exceeded]"};
    case ChainEnd::Failed: return TestVerdict{false, "[error]"};
    case ChainEnd::Answered: break;
  }
  return std::nullopt;
}

void VerdictBuilder::fail(std::string_view reason) {
  verdict_.passed = false;
  verdict_.note += ',';
  verdict_.note += reason;
}

TestVerdict VerdictBuilder::finish() {
  const size_t first = verdict_.note.find_first_not_of(',');
  if (first == std::string::npos) {
    verdict_.note.clear();
  } else {
    verdict_.note = verdict_.note.substr(first, verdict_.note.find_last_not_of(',') - first + 1);
  }
  return std::move(verdict_);
}

}  // namespace tallyvane
