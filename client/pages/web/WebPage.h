#pragma once

#include "Unit3.h"

#include <QLabel>
#include <QString>

class QEvent;
class QProgressBar;
class QTimer;
class QVBoxLayout;
class QWebEngineCertificateError;
class QWebEngineNewWindowRequest;
class QWebEngineView;

// What the seven web pages share: the web view WebBrowser1 with its loading panel, the 50 ms
// loading indicator, the completion that hides the panel, the handling of new-window requests,
// the script dialogs (ScriptDialogPage) and the context-click filter. A page class says what
// differs in its Traits and runs its own FormCreate; see TFormPCGG for the shape of one.
class WebPage : public Tmain
{
    Q_OBJECT

public:
    // Which completion of the view stops the loading indicator. The web view reports both as
    // loadFinished, for success and for failure alike, and only for the main frame.
    enum class Completion { DocumentComplete, DownloadComplete };
    enum class NewWindows { Refuse, OpenInPlaceAtStatusText };

    struct Traits
    {
        Completion hidesPanelOn = Completion::DocumentComplete;
        NewWindows newWindows = NewWindows::Refuse;
        // The class's last status text, which outlives its pages; needed for OpenInPlaceAtStatusText.
        QString *lastStatusText = nullptr;
        bool contextClickFilter = true;
        // The view and the loading panel sit in a panel Panel2 that fills the page; otherwise
        // directly on the page.
        bool viewInPanel2 = true;
        // The loading panel is Panel3 in the news page (Panel1 is its toolbar), Panel1 elsewhere.
        bool loadingPanelIsPanel3 = false;
    };

    ~WebPage() override;

    QWebEngineView *WebBrowser1 = nullptr;
    QWidget *Panel1 = nullptr;
    QWidget *Panel2 = nullptr;
    QWidget *Panel3 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QTimer *Timer1 = nullptr;

    QWidget *loadingPanel() const { return m_loadingPanel; }

    static constexpr int LoadingPanelWidth = 700;
    static constexpr int LoadingPanelHeight = 80;

public slots:
    void FormResize();
    void Timer1Timer();
    void WebBrowser1DocumentComplete();
    void WebBrowser1DownloadComplete();
    void WebBrowser1NewWindow2(QWebEngineNewWindowRequest &request);
    void WebBrowser1StatusTextChange(const QString &text);
    void WebBrowser1CertificateError(const QWebEngineCertificateError &error);

protected:
    explicit WebPage(const Traits &traits);

    void startLoadingIndicator();
    // Passes the address on as it is: an empty or malformed one shows the view's own error page.
    void Navigate(const QString &address);
    // The page's top-level layout; the news page puts its toolbar above the view with it.
    QVBoxLayout *pageLayout() const { return m_pageLayout; }

    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void stopLoadingIndicator();
    bool ApplicationEvents1Message(QObject *receiver, QEvent *event) const;
    bool isInsideWebBrowser(QObject *object) const;

    Traits m_traits;
    QVBoxLayout *m_pageLayout = nullptr;
    QLabel *m_loadingPanel = nullptr;
};
