#include "UnitWYSMNC.h"

#include "ChangeCounters.h"
#include "DefaultErrorReport.h"
#include "ServiceClient.h"
#include "UnitGlouble.h"

#include <QMetaObject>
#include <QWebEngineView>

#include <exception>
#include <optional>

QString TFormWYSMNC::LastStatusText;

TFormWYSMNC::TFormWYSMNC(QWidget *hostPanel)
    : WebPage(Traits{.newWindows = NewWindows::OpenInPlaceAtStatusText, .lastStatusText = &LastStatusText})
{
    std::optional<QString> failure;
    try {
        FormCreate();
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    embedInto(hostPanel);
    if (failure) {
        // Reported once the page is on screen: by the time this runs, OpenPage has made this
        // the current page and shown it. Dropped if the page is gone by then.
        QMetaObject::invokeMethod(
            this, [message = *failure] { DefaultErrorReport::show(message); }, Qt::QueuedConnection);
    }
}

TFormWYSMNC::~TFormWYSMNC()
{
    FormDestroy();
}

QString TFormWYSMNC::address()
{
    return ServiceClient::serviceHost() + QStringLiteral("/GongGaoXinXi.aspx?userdj=") +
           UnitGlouble.UserLevel + QStringLiteral("&username=") + UnitGlouble.UserNameUrl +
           QStringLiteral("&userpas=") + UnitGlouble.UserPasswordUrl;
}

void TFormWYSMNC::FormCreate()
{
    UnitGlouble.InsiderPageOpen = true;
    FetchChangeCounters();
    // Both read before either is stored, so that a failure leaves both last-seen values as they were.
    const qint32 added = ChangeCounters::counter(QStringLiteral("smncadd"));
    const qint32 changed = ChangeCounters::counter(QStringLiteral("smncsx"));
    UnitGlouble.LastInsiderAdded = added;
    UnitGlouble.LastInsiderChanged = changed;
    startLoadingIndicator();
    Navigate(address());
}

void TFormWYSMNC::FormDestroy()
{
    UnitGlouble.InsiderPageOpen = false;
}

void TFormWYSMNC::Refresh()
{
    WebBrowser1->reload();
}
