#pragma once

#include <QString>

// The texts of the alert toasts (and desktop notifications), composed in one place without any
// widget: each line is a caption and a value, and the lines are joined by carriage returns.
namespace AlertToastTexts {

// A stock-pool alert: "弹出时间：", "股票代码：", "操作方式：".
QString stockAlert(const QString &time, const QString &code, const QString &operation);
// A live-news item: "弹出时间：", "资讯类型：", "资讯内容：".
QString liveNews(const QString &time, const QString &type, const QString &text);
// An insider-news item: "【私募内参新消息】", "弹出时间：", "内参标题：".
QString insiderNews(const QString &time, const QString &title);
// A secret-news item: "【私募绝密新消息】", "弹出时间：", "私募绝密标题：".
QString secretNews(const QString &time, const QString &title);

// The time of a result-document row as the toasts show it: trimmed, cut to 19 characters,
// "T" as a blank, trimmed again.
QString displayTime(const QString &nowtime);

} // namespace AlertToastTexts
