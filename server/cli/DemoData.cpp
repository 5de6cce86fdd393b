#include "cli/DemoData.h"

#include "store/DateTimeText.h"
#include "store/Store.h"

#include <string>
#include <vector>

namespace {

struct Stock
{
    const char *code;
    const char *name;
};

const std::vector<Stock> stocks = {
    {"600036", "招商银行"}, {"600519", "贵州茅台"}, {"000001", "平安银行"}, {"000858", "五粮液"},
    {"601318", "中国平安"}, {"300750", "宁德时代"}, {"002594", "比亚迪"},   {"600900", "长江电力"},
};
const std::vector<const char *> operationsList = {"买入", "卖出", "加仓", "减仓", "持有"};
const std::vector<const char *> reasons = {"放量突破前期平台", "跌破20日均线",           "业绩超预期",
                                           "主力资金持续流入", "短期涨幅过大，注意风险", "回踩支撑位企稳"};
const std::vector<const char *> newsTypes = {"大盘", "板块", "个股", "政策"};
const std::vector<const char *> newsTexts = {
    "沪指午后翻红，成交量较昨日放大。",
    "券商板块异动拉升，多只个股涨停。",
    "央行开展逆回购操作，市场流动性合理充裕。",
    "新能源汽车板块走强，龙头股创阶段新高。",
    "北向资金尾盘加速流入。",
    "半导体板块回调，注意控制仓位。",
};

// Each demo account's password is its name.
struct Account
{
    const char *name;
    int level;
};
const std::vector<Account> accounts = {{"demo", 2}, {"vip", 1}, {"member", 3}};

std::string at(int daysFromToday, const char *clock)
{
    return DateTimeText::midnight(daysFromToday).substr(0, 11) + clock;
}

} // namespace

void DemoData::seed(Store &store)
{
    store.with([](DatabaseConnection &c) {
        c.execute(
            "INSERT INTO Sys_pz(gpsysname, syszjxx, kfqq, yhqyhyfj, ifctzqd, hqurl, khdsxsj, sytsxx) "
            "VALUES(?1, ?2, ?3, TRUE, FALSE, ?4, 5, ?5)",
            {std::string("智能股票预警系统"),
             std::string("欢迎使用智能股票预警系统！预警信息仅供参考，股市有风险，投资需谨慎。"),
             std::string("800012345"), std::string("/pages/news.html"),
             std::string("演示账号：demo/demo、vip/vip、member/member。\n如需开通正式账号请联系客服。")});
        c.execute(
            "INSERT INTO Sys_url(yjglmc, smncmc, xwzxmc, xwzxurl, sshqmc, sshqurl, jzpgmc, jzpgurl, ggdamc, "
            "ggdaurl, dpzjmc, dpzjurl, yjbgmc, yjbgurl) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, "
            "?12, ?13, ?14)",
            {std::string("预警管理"), std::string("私募内参"), std::string("新闻资讯"),
             std::string("/pages/news.html"), std::string("实时行情"), std::string("/pages/quotes.html"),
             std::string("价值评估"), std::string("/pages/valuation.html"), std::string("个股档案"),
             std::string("/pages/profiles.html"), std::string("大盘资金"), std::string("/pages/funds.html"),
             std::string("研究报告"), std::string("/pages/research.html")});
    });
    for (const Account &account : accounts)
        store.addUser(account.name, account.name, account.level, "2099-12-31");

    auto stock = [&](int day, const char *clock, int s, const char *op, const char *reason, int level) {
        store.publish("Tuijiangupiao",
                      {{"nowtime", at(day, clock)},
                       {"gupiaodaima", stocks[s].code},
                       {"jg", stocks[s].name},
                       {"czfs", op},
                       {"czly", reason}},
                      level);
    };
    stock(-3, "10:15:00", 4, "买入", "回踩支撑位企稳", 3);
    stock(-2, "14:20:30", 3, "卖出", "短期涨幅过大，注意风险", 2);
    stock(-1, "09:45:12", 1, "加仓", "业绩超预期", 1);
    stock(-1, "13:30:00", 2, "买入", "主力资金持续流入", 3);
    stock(0, "00:00:01", 5, "买入", "放量突破前期平台", 3);
    stock(0, "00:00:02", 0, "持有", "银行板块走强", 2);
    stock(0, "00:00:03", 6, "减仓", "跌破20日均线", 1);

    auto news = [&](int day, const char *clock, const char *type, const char *text, int level) {
        store.publish("spzx", {{"nowtime", at(day, clock)}, {"zxlx", type}, {"zxnr", text}}, level);
    };
    news(-1, "15:05:00", "大盘", "两市成交额连续三日超过万亿元。", 3);
    news(0, "00:00:01", "政策", "央行开展逆回购操作，市场流动性合理充裕。", 3);
    news(0, "00:00:02", "板块", "券商板块异动拉升，多只个股涨停。", 2);

    store.publish("smnc",
                  {{"nowtime", at(-1, "20:00:00")},
                   {"bt", "私募观点：二季度关注消费复苏"},
                   {"nr", "多家私募认为消费板块估值已回到合理区间。"}},
                  3);
    store.publish("smnc",
                  {{"nowtime", at(0, "00:00:01")},
                   {"bt", "内参：银行股分红行情提前启动"},
                   {"nr", "高股息银行股获得机构增持。"}},
                  2);
    store.publish("smjm",
                  {{"nowtime", at(0, "00:00:01")}, {"bt", "绝密：某机构调研纪要"}, {"nr", "仅供会员参考。"}},
                  3);
}

std::string DemoData::accountsText()
{
    std::string text;
    for (const Account &account : accounts)
        text += (text.empty() ? "" : ", ") + std::string(account.name) + "/" + account.name + " (" +
                std::to_string(account.level) + ")";
    return text;
}

std::string DemoData::publishRandomItem(Store &store, std::mt19937 &random)
{
    auto pick = [&](size_t size) {
        return size_t(std::uniform_int_distribution<size_t>(0, size - 1)(random));
    };
    int level = int(std::uniform_int_distribution<int>(1, 3)(random));
    if (pick(3) < 2) {
        const Stock &s = stocks[pick(stocks.size())];
        const char *op = operationsList[pick(operationsList.size())];
        auto id = store.publish(
            "Tuijiangupiao",
            {{"gupiaodaima", s.code}, {"jg", s.name}, {"czfs", op}, {"czly", reasons[pick(reasons.size())]}},
            level);
        return "stock alert " + std::to_string(id) + ": " + s.code + " " + op;
    }
    auto id = store.publish(
        "spzx", {{"zxlx", newsTypes[pick(newsTypes.size())]}, {"zxnr", newsTexts[pick(newsTexts.size())]}},
        level);
    return "news " + std::to_string(id);
}
