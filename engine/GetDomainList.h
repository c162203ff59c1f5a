#pragma once
// Which hosts are requested with GET instead of HEAD.

#include <string>
#include <string_view>
#include <vector>

namespace tallyvane {

enum class RequestMethod { Head, Get, None };

class GetDomainList {
 public:
  GetDomainList() : hosts_(1) {}

  // One host per CR LF line; text after ";" is a comment. Always leaves at least one entry:
  // the empty text when no host is given.
  void rebuild(std::string_view getDomains);
  const std::vector<std::string>& hosts() const { return hosts_; }

  // headerRequestMethod: 0 always HEAD, 1 always GET, 2 GET only for listed hosts.
  RequestMethod methodFor(std::string_view host, int64_t headerRequestMethod) const;

 private:
  std::vector<std::string> hosts_;
};

}  // namespace tallyvane
