#include "results/HopRecord.h"

namespace tallyvane {

void HopRecord::resetResponse() {
  redirectTarget.clear();
  contentType.clear();
  xRobotsTag.clear();
  vary.clear();
  rawHeaders.clear();
  statusText.clear();
  for (int64_t i = 0; i < linkCount; ++i) {
    links[i].link.clear();
    links[i].rel.clear();
    links[i].hreflang.clear();
  }
  linkCount = 0;
  statusCode = 0;
  size = -1;
  responseTime = -1;
  kind = kChainPlain;
  testNote.clear();
  testPassed = 1;
}

}  // namespace tallyvane
