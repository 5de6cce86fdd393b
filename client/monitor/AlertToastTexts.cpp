#include "AlertToastTexts.h"

#include "TextConversions.h"

#include <QStringList>

namespace {

QString lines(std::initializer_list<QString> parts)
{
    return QStringList(parts).join(QChar(13));
}

} // namespace

namespace AlertToastTexts {

QString stockAlert(const QString &time, const QString &code, const QString &operation)
{
    return lines({QStringLiteral("弹出时间：") + time, QStringLiteral("股票代码：") + code,
                  QStringLiteral("操作方式：") + operation});
}

QString liveNews(const QString &time, const QString &type, const QString &text)
{
    return lines({QStringLiteral("弹出时间：") + time, QStringLiteral("资讯类型：") + type,
                  QStringLiteral("资讯内容：") + text});
}

QString insiderNews(const QString &time, const QString &title)
{
    return lines({QStringLiteral("【私募内参新消息】"), QStringLiteral("弹出时间：") + time,
                  QStringLiteral("内参标题：") + title});
}

QString secretNews(const QString &time, const QString &title)
{
    return lines({QStringLiteral("【私募绝密新消息】"), QStringLiteral("弹出时间：") + time,
                  QStringLiteral("私募绝密标题：") + title});
}

QString displayTime(const QString &nowtime)
{
    return TextConversions::trim(TextConversions::dateTimeCut(TextConversions::trim(nowtime)));
}

} // namespace AlertToastTexts
