#include "engine/GetDomainList.h"

#include <algorithm>
#include <cstdint>

#include "base/Text.h"

namespace tallyvane {

void GetDomainList::rebuild(std::string_view getDomains) {
  hosts_.clear();
  forEachCrLfLine(getDomains, [&](std::string_view line) {
    const std::string_view host = trimBlanksAndTabs(line.substr(0, line.find(';')));
    if (!host.empty()) hosts_.emplace_back(host);
  });
  if (hosts_.empty()) hosts_.emplace_back();  // never empty: "" when no host is given
}

RequestMethod GetDomainList::methodFor(std::string_view host, MethodChoice choice) const {
  switch (choice) {
    case MethodChoice::Head: return RequestMethod::Head;
    case MethodChoice::Get: return RequestMethod::Get;
    case MethodChoice::GetForListedHosts: {
      const bool listed = std::any_of(hosts_.begin(), hosts_.end(),
                                      [&](const std::string& entry) { return equalsIgnoreCase(host, entry); });
      return listed ? RequestMethod::Get : RequestMethod::Head;
    }
  }
  return RequestMethod::None;  // a value no file or dialog stores
}

}  // namespace tallyvane
