#include "input/RewriteRulesHelp.h"

#include "base/HelpSite.h"

namespace tallyvane {

std::string rewriteRulesHelpComment() {
  return "; This is a help comment. The ; character starts a comment\r\n"
         "; Delete these lines and set your own rules\r\n"
         "; Example #1: To rewrite all www. to non-www urls for shop.example\r\n"
         "; www.shop.example shop.example\r\n"
         "; Example #2: Rewrite urls to a staging environment on another domain and subfolder\r\n"
         "; www.shop.example staging.shop.example/newsite\r\n"
         "; Rewrite rules are simple: \r\n"
         "; Format: searchstring replacestring\r\n"
         "; The program will replace the first occurrence of searchstring with replacestring\r\n"
         "; If multiple rules apply to a single URL, only the first rule will get executed.\r\n"
         "; For more examples: " +
         helpPageUrl("/user-guide");
}

}  // namespace tallyvane
