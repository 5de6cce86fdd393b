#pragma once

#include <QString>
#include <QStringList>

// The process-wide values every window reads and writes directly. Texts start empty,
// numbers at 0, flags at false.
struct GlobalState
{
    // Server configuration, loaded once before login.
    QString SystemName;
    QString SystemNotice;
    QString SupportQQ;
    bool UserTiering = false;
    bool StayOnTop = false;
    QString HomePageUrl;
    qint32 PollIntervalSeconds = 0;

    // Configured pages: titles and addresses.
    QString AlertPageTitle;
    QString InsiderPageTitle;
    QString NewsTitle;
    QString NewsUrl;
    QString QuotesTitle;
    QString QuotesUrl;
    QString ValuationTitle;
    QString ValuationUrl;
    QString StockProfileTitle;
    QString StockProfileUrl;
    QString MarketFundsTitle;
    QString MarketFundsUrl;
    QString ResearchTitle;
    QString ResearchUrl;

    // The signed-in user.
    QString UserId;
    QString UserName;
    QString UserPassword;
    QString UserNameUrl;
    QString UserPasswordUrl;
    QString ExpiryDate;
    QString UserLevel;
    QString LoginStamp;

    // Program directory, ending with "/".
    QString AppDir;

    // Change polling: the latest counters as name=value lines, the last-seen values
    // and the two page-open flags.
    QStringList ChangeCounters;
    qint32 LastStockAdded = 0;
    qint32 LastStockChanged = 0;
    qint32 LastLiveNewsAdded = 0;
    qint32 LastLiveNewsChanged = 0;
    qint32 LastInsiderAdded = 0;
    qint32 LastInsiderChanged = 0;
    qint32 LastSecretAdded = 0;
    qint32 LastSecretChanged = 0;
    bool AlertListOpen = false;
    bool InsiderPageOpen = false;
};

// The single instance (tests reset it with `UnitGlouble = GlobalState{}`).
extern GlobalState UnitGlouble;

// The directory of the program file followed by "/", whatever the current directory.
QString programDirectory();
