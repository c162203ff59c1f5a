#pragma once
// Which hosts are requested with GET instead of HEAD.

#include <string>
#include <string_view>
#include <vector>

#include "config/Settings.h"

namespace tallyvane {

enum class RequestMethod { Head, Get, None };

class GetDomainList {
 public:
  GetDomainList() : hosts_(1) {}

  // One host per CR LF line; text after ";" is a comment. Always leaves at least one entry:
  // the empty text when no host is given.
  void rebuild(std::string_view getDomains);
  const std::vector<std::string>& hosts() const { return hosts_; }

  RequestMethod methodFor(std::string_view host, MethodChoice choice) const;

 private:
  std::vector<std::string> hosts_;
};

}  // namespace tallyvane
