#include "engine/GetDomainList.h"

#include <algorithm>
#include <cstdint>

#include "config/Text.h"

namespace tallyvane {

void GetDomainList::rebuild(std::string_view getDomains) {
  hosts_.assign(1, std::string());
  size_t used = 0;
  forEachCrLfLine(getDomains, [&](std::string_view line) {
    const std::string_view host = trimBlanksAndTabs(line.substr(0, line.find(';')));
    if (host.empty()) return;
    if (used == 0) {
      hosts_[0] = std::string(host);
    } else {
      hosts_.emplace_back(host);
    }
    ++used;
  });
}

RequestMethod GetDomainList::methodFor(std::string_view host, int64_t headerRequestMethod) const {
  switch (headerRequestMethod) {
    case 0: return RequestMethod::Head;
    case 1: return RequestMethod::Get;
    case 2: {
      const bool listed = std::any_of(hosts_.begin(), hosts_.end(),
                                      [&](const std::string& entry) { return equalsIgnoreCase(host, entry); });
      return listed ? RequestMethod::Get : RequestMethod::Head;
    }
    default: return RequestMethod::None;
  }
}

}  // namespace tallyvane
