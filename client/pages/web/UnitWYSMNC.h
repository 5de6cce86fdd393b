#pragma once

#include "RefreshablePage.h"
#include "WebPage.h"

// The private-fund insider news page (私募内参), served by the service host for the signed-in
// user. While it exists InsiderPageOpen is set and the poll reloads it when the insider stream
// changes; it marks the stream's counters as seen when it opens.
//
// The counter fetch at creation can fail. The page is placed and shown all the same (flag set,
// counters unchanged, nothing navigated, the loading panel standing still) and the failure
// is raised again from the event loop as soon as it runs, so that the application's default
// error report shows it: a constructor that threw could not leave a page behind.
class TFormWYSMNC : public WebPage, public RefreshablePage
{
    Q_OBJECT

public:
    explicit TFormWYSMNC(QWidget *hostPanel);
    ~TFormWYSMNC() override;

    // The last status text of every insider page of this run.
    static QString LastStatusText;

    // serviceHost() + "/GongGaoXinXi.aspx?userdj=" + UserLevel + "&username=" + UserNameUrl
    // + "&userpas=" + UserPasswordUrl. The service reads the account from the query string.
    static QString address();

    void Refresh() override;

public slots:
    // Throws when the counters cannot be fetched or read.
    void FormCreate();
    void FormDestroy();
};
