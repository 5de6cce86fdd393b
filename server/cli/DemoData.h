#pragma once

#include <random>
#include <string>

class Store;

// The demonstration data of "init --demo" and the random items of "serve --demo-feed".
//
// Configuration: system name "智能股票预警系统", tiering on, not topmost, poll period 5 s,
// a prompt text, home page /pages/news.html. Pages: 预警管理, 私募内参 and six titled pages
// whose addresses are this service's own /pages/{news,quotes,valuation,profiles,funds,
// research}.html. Users: demo/demo (level 2), vip/vip (level 1), member/member (level 3),
// all paid until 2099-12-31. Alerts and news of today and of earlier days at levels 1-3,
// two insider items and one secret item.
class DemoData
{
public:
    static void seed(Store &store);
    // The demo accounts as "name/password (level)", for telling the operator.
    static std::string accountsText();
    // Publishes one plausible stock alert or live-news item; returns a line describing it.
    static std::string publishRandomItem(Store &store, std::mt19937 &random);
};
