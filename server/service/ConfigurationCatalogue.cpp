#include "service/ConfigurationCatalogue.h"

#include <cctype>

namespace {

using Kind = ConfigurationCatalogue::Kind;

const std::vector<ConfigurationCatalogue::Setting> settings = {
    {"system-name", "Sys_pz", "gpsysname", Kind::Text, "the system's name: window titles and the tray icon",
     "系统名称", "股票预警系统"},
    {"notice", "Sys_pz", "syszjxx", Kind::Text, "the notice scrolling in the main window's status line",
     "滚动公告", "欢迎使用股票预警系统！预警信息仅供参考，股市有风险，投资需谨慎。"},
    {"prompt", "Sys_pz", "sytsxx", Kind::Lines,
     "the prompt in the login window (empty: the shorter window without it)", "登录提示", ""},
    {"support-qq", "Sys_pz", "kfqq", Kind::Text,
     "the customer-service QQ number behind the login window's link", "客服QQ", ""},
    {"poll-seconds", "Sys_pz", "khdsxsj", Kind::Seconds, "how often clients ask for changes, in seconds",
     "刷新间隔（秒）", "5"},
    {"tiering", "Sys_pz", "yhqyhyfj", Kind::Flag,
     "true: subscribers see the items of their own level and the public ones; false: every item",
     "按等级分发", "true"},
    {"stay-on-top", "Sys_pz", "ifctzqd", Kind::Flag, "true: the main window stays above other windows",
     "主窗口置顶", "false"},
    {"home-url", "Sys_pz", "hqurl", Kind::Address, "the system's home page (login window link, main menu)",
     "系统主页", "/pages/news.html"},
    {"page.alerts.title", "Sys_url", "yjglmc", Kind::Text, "title of the alert list page", "预警页标题",
     "预警管理"},
    {"page.insider.title", "Sys_url", "smncmc", Kind::Text, "title of the insider news page", "内参页标题",
     "私募内参"},
    {"page.news.title", "Sys_url", "xwzxmc", Kind::Text, "title of the news page", "新闻页标题", "新闻资讯"},
    {"page.news.url", "Sys_url", "xwzxurl", Kind::Address, "address of the news page", "新闻页地址",
     "/pages/news.html"},
    {"page.quotes.title", "Sys_url", "sshqmc", Kind::Text, "title of the quotes page", "行情页标题",
     "实时行情"},
    {"page.quotes.url", "Sys_url", "sshqurl", Kind::Address, "address of the quotes page", "行情页地址",
     "/pages/quotes.html"},
    {"page.valuation.title", "Sys_url", "jzpgmc", Kind::Text, "title of the valuation page", "估值页标题",
     "价值评估"},
    {"page.valuation.url", "Sys_url", "jzpgurl", Kind::Address, "address of the valuation page", "估值页地址",
     "/pages/valuation.html"},
    {"page.profiles.title", "Sys_url", "ggdamc", Kind::Text, "title of the stock profiles page", "档案页标题",
     "个股档案"},
    {"page.profiles.url", "Sys_url", "ggdaurl", Kind::Address, "address of the stock profiles page",
     "档案页地址", "/pages/profiles.html"},
    {"page.funds.title", "Sys_url", "dpzjmc", Kind::Text, "title of the market funds page", "资金页标题",
     "大盘资金"},
    {"page.funds.url", "Sys_url", "dpzjurl", Kind::Address, "address of the market funds page", "资金页地址",
     "/pages/funds.html"},
    {"page.research.title", "Sys_url", "yjbgmc", Kind::Text, "title of the research reports page",
     "研报页标题", "研究报告"},
    {"page.research.url", "Sys_url", "yjbgurl", Kind::Address, "address of the research reports page",
     "研报页地址", "/pages/research.html"},
};

std::size_t characters(const std::string &utf8)
{
    std::size_t count = 0;
    for (unsigned char c : utf8)
        count += (c & 0xC0) != 0x80;
    return count;
}

bool hasControl(const std::string &text, bool linesAllowed)
{
    for (unsigned char c : text)
        if ((c < 0x20 && !(linesAllowed && (c == '\n' || c == '\r' || c == '\t'))) || c == 0x7f)
            return true;
    return false;
}

std::optional<bool> flag(const std::string &value)
{
    if (value == "true" || value == "1" || value == "on" || value == "yes")
        return true;
    if (value == "false" || value == "0" || value == "off" || value == "no")
        return false;
    return std::nullopt;
}

std::optional<long long> seconds(const std::string &value)
{
    if (value.empty() || value.size() > 6)
        return std::nullopt;
    for (char c : value)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    return std::stoll(value);
}

bool address(const std::string &value)
{
    for (unsigned char c : value)
        if (c <= 0x20 || c == 0x7f || c == '"' || c == '<' || c == '>')
            return false;
    auto hostAfter = [&](std::size_t scheme) {
        return value.size() > scheme && value[scheme] != '/' && value[scheme] != ':';
    };
    if (value.rfind("http://", 0) == 0)
        return hostAfter(7);
    if (value.rfind("https://", 0) == 0)
        return hostAfter(8);
    // A path on this service; "//host" would be another host.
    return value.size() > 1 && value[0] == '/' && value[1] != '/';
}

} // namespace

const std::vector<ConfigurationCatalogue::Setting> &ConfigurationCatalogue::all()
{
    return settings;
}

const ConfigurationCatalogue::Setting *ConfigurationCatalogue::named(const std::string &name)
{
    for (const Setting &setting : settings)
        if (name == setting.name)
            return &setting;
    return nullptr;
}

std::optional<std::string> ConfigurationCatalogue::refusal(const Setting &setting, const std::string &value)
{
    switch (setting.kind) {
    case Kind::Seconds: {
        auto number = seconds(value);
        if (!number || *number < 1 || *number > 86400)
            return "a whole number of seconds from 1 to 86400";
        return std::nullopt;
    }
    case Kind::Flag:
        return flag(value) ? std::nullopt : std::optional<std::string>("true or false");
    case Kind::Address:
        return address(value) ? std::nullopt
                              : std::optional<std::string>(
                                    "an address: http://HOST/..., https://HOST/... or a path on this "
                                    "service such as /pages/news.html");
    case Kind::Text:
    case Kind::Lines:
        if (characters(value) > maxTextLength)
            return "at most " + std::to_string(maxTextLength) + " characters";
        if (hasControl(value, setting.kind == Kind::Lines))
            return setting.kind == Kind::Lines ? "text without control characters other than line breaks"
                                               : "one line of text without control characters";
        return std::nullopt;
    }
    return "an unknown kind of setting";
}

SqlValue ConfigurationCatalogue::stored(const Setting &setting, const std::string &value)
{
    switch (setting.kind) {
    case Kind::Seconds:
        return std::int64_t(seconds(value).value_or(0));
    case Kind::Flag:
        return std::int64_t(flag(value).value_or(false));
    default:
        return value;
    }
}

std::string ConfigurationCatalogue::shown(const Setting &setting, const SqlValue &value)
{
    std::string text = sqlValueText(value);
    if (setting.kind != Kind::Flag)
        return text;
    if (auto *number = std::get_if<std::int64_t>(&value))
        return *number ? "true" : "false";
    for (auto &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text == "1" || text == "true" || text == "t" ? "true" : "false";
}
