#include "config/UserAgentPresets.h"

namespace tallyvane {
namespace {

constexpr std::string_view kFieldSeparator = "#CRLF$";

}  // namespace

std::string storedFormOf(const UserAgentPreset& preset) {
  std::string stored = preset.name;
  stored.append(kFieldSeparator).append(preset.httpText).append(kFieldSeparator).append(preset.robotsToken);
  return stored;
}

UserAgentPreset presetFromStoredForm(std::string_view stored) {
  UserAgentPreset preset;
  std::string* fields[] = {&preset.name, &preset.httpText, &preset.robotsToken};
  for (std::string* field : fields) {
    const size_t at = stored.find(kFieldSeparator);
    field->assign(stored.substr(0, at));
    if (at == std::string_view::npos) break;
    stored.remove_prefix(at + kFieldSeparator.size());
  }
  return preset;
}

UserAgentPresets defaultUserAgentPresets() {
  // The crawlers' texts are the ones their operators publish for the versions named.
  return {{
      {"Custom", "Custom", "Custom"},
      {"Tallyvane", "Tallyvane", "Tallyvane"},
      {"GoogleBot Regular", "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "GoogleBot"},
      {"GoogleBot for Smartphones",
       "Mozilla/5.0 (iPhone; CPU iPhone OS 8_3 like Mac OS X) AppleWebKit/600.1.4 (KHTML, like Gecko) Version/8.0 "
       "Mobile/12F70 Safari/600.1.4 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
       "GoogleBot"},
      {"GoogleBot-Mobile for feature phone devices 1",
       "SAMSUNG-SGH-E250/1.0 Profile/MIDP-2.0 Configuration/CLDC-1.1 UP.Browser/6.2.3.3.c.1.101 (GUI) MMP/2.0 "
       "(compatible; Googlebot-Mobile/2.1; +http://www.google.com/bot.html)",
       "Googlebot-Mobile"},
      {"GoogleBot-Mobile for feature phone devices 2",
       "DoCoMo/2.0 N905i(c100;TB;W24H16) (compatible; Googlebot-Mobile/2.1; +http://www.google.com/bot.html)",
       "Googlebot-Mobile"},
      {"BingBot 2.0", "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", "BingBot"},
      {"Yahoo! Slurp", "Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)", "Slurp"},
      {"YandexBot 3.0", "Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", "YandexBot"},
      {"Baiduspider+", "Baiduspider+(+http://www.baidu.com/search/spider.htm)", "Baiduspider"},
      {"MJ12Bot", "MJ12Bot", "MJ12Bot"},
      {"Chrome", "Mozilla/5.0 (Windows NT 5.1) AppleWebKit/535.1 (KHTML, like Gecko) Chrome/14.0.815.0 Safari/535.1",
       ""},
      {"Firefox", "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:6.0a2) Gecko/20110613 Firefox/6.0a2", ""},
      {"IE6", "Mozilla/5.0 (Windows; U; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)", ""},
      {"IE7", "Mozilla/5.0 (Windows; U; MSIE 7.0; Windows NT 6.0; en-US)", ""},
      {"IE8",
       "Mozilla/5.0 (compatible; MSIE 8.0; Windows NT 5.2; Trident/4.0; Media Center PC 4.0; SLCC1; .NET CLR "
       "3.0.04320)",
       ""},
      {"GoogleBot-Mobile", "(compatible; Googlebot-Mobile/2.1; +http://www.google.com/bot.html)", "Googlebot-Mobile "},
      {"iPhone",
       "Mozilla/5.0 (iPhone; CPU iPhone OS 5_0_1 like Mac OS X) AppleWebKit/534.46 (KHTML, like Gecko) Mobile/9A405",
       ""},
      {"Android Mobile",
       "Mozilla/5.0 (Linux; U; Android 2.2; en-us; Nexus One Build/FRF91) AppleWebKit/533.1 (KHTML, like Gecko) "
       "Version/4.0 Mobile Safari/533.1",
       ""},
      {"Android Tablet",
       "Mozilla/5.0 (Linux; U; Android 2.2; en-us; Nexus One Build/FRF91) AppleWebKit/533.1 (KHTML, like Gecko) "
       "Version/4.0 Safari/533.1",
       ""},
  }};
}

}  // namespace tallyvane
