#include "results/HopRecord.h"

namespace tallyvane {

void HopRecord::resetResponse() {
  redirectTarget.clear();
  contentType.clear();
  xRobotsTag.clear();
  vary.clear();
  rawHeaders.clear();
  statusText.clear();
  linkCount = 0;
  statusCode = 0;
  size = -1;
  responseTime = -1;
  kind = kChainPlain;
  testNote.clear();
  testPassed = 1;
}

LinkEntry& HopRecord::addLink() {
  const auto index = static_cast<size_t>(linkCount++);
  if (index == links.size()) return links.emplace_back();
  LinkEntry& entry = links[index];
  entry.link.clear();
  entry.rel.clear();
  entry.hreflang.clear();
  return entry;
}

}  // namespace tallyvane
