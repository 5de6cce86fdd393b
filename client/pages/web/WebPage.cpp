#include "WebPage.h"

#include "CertificateTrust.h"
#include "NewWindowPolicy.h"
#include "ScriptDialogPage.h"
#include "ServiceClient.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QNetworkProxyFactory>
#include <QPixmap>
#include <QProgressBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineCertificateError>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

// The artwork is compiled into this shared library, which registers it when it is loaded;
// asking for it by name as well keeps the view right however the library is linked.
static void registerArtwork()
{
    Q_INIT_RESOURCE(webpages);
}

namespace {

// The web view takes the proxy from the system's configuration (https_proxy, no_proxy and
// the desktop's settings) only when asked to, and must be asked before its first page.
void useSystemProxies()
{
    static const bool asked = [] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        return true;
    }();
    Q_UNUSED(asked);
}

bool onServiceHost(const QUrl &url)
{
    const QUrl service(ServiceClient::serviceHost());
    return url.scheme() == service.scheme() && url.host() == service.host() &&
           url.port(443) == service.port(443);
}

QVBoxLayout *fillingLayout(QWidget *parent)
{
    auto *layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

} // namespace

WebPage::WebPage(const Traits &traits) : m_traits(traits)
{
    registerArtwork();
    useSystemProxies();
    m_pageLayout = fillingLayout(this);

    QWidget *viewHolder = this;
    if (m_traits.viewInPanel2) {
        Panel2 = new QWidget(this);
        Panel2->setObjectName(QStringLiteral("Panel2"));
        m_pageLayout->addWidget(Panel2);
        viewHolder = Panel2;
    }

    WebBrowser1 = new QWebEngineView(viewHolder);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    // Before anything asks the view for its page: otherwise it makes one with its own dialogs.
    WebBrowser1->setPage(new ScriptDialogPage(WebBrowser1));
    if (viewHolder == this)
        m_pageLayout->addWidget(WebBrowser1);
    else
        fillingLayout(viewHolder)->addWidget(WebBrowser1);
    // The view is resized by the layouts after the page itself: centre again when it is.
    WebBrowser1->installEventFilter(this);

    // The loading panel lies over the view, outside any layout, so that it can be centred
    // on the view and stick out of it when the view is smaller.
    m_loadingPanel = new QLabel(viewHolder);
    m_loadingPanel->setObjectName(m_traits.loadingPanelIsPanel3 ? QStringLiteral("Panel3")
                                                                : QStringLiteral("Panel1"));
    (m_traits.loadingPanelIsPanel3 ? Panel3 : Panel1) = m_loadingPanel;
    m_loadingPanel->resize(LoadingPanelWidth, LoadingPanelHeight);
    m_loadingPanel->setPixmap(QPixmap(QStringLiteral(":/pages/loading-panel.png")));
    m_loadingPanel->setScaledContents(true);
    // Shown from the start, as designed: a page whose creation stops before its first document
    // keeps the panel with the bar standing still.
    m_loadingPanel->raise();

    auto *caption = new QLabel(QStringLiteral("正在加载网页信息，请稍等 . . . "), m_loadingPanel);
    QPalette captionPalette = caption->palette();
    captionPalette.setColor(QPalette::WindowText, Qt::white);
    caption->setPalette(captionPalette);
    QFont captionFont = caption->font();
    captionFont.setBold(true);
    caption->setFont(captionFont);
    caption->move(24, 18);
    caption->adjustSize();

    ProgressBar1 = new QProgressBar(m_loadingPanel);
    ProgressBar1->setGeometry(24, 40, 298, 17);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);

    Timer1 = new QTimer(this);
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &WebPage::Timer1Timer);

    // loadFinished stands for both completions of the original control.
    if (m_traits.hidesPanelOn == Completion::DownloadComplete)
        connect(WebBrowser1, &QWebEngineView::loadFinished, this, &WebPage::WebBrowser1DownloadComplete);
    else
        connect(WebBrowser1, &QWebEngineView::loadFinished, this, &WebPage::WebBrowser1DocumentComplete);
    connect(WebBrowser1->page(), &QWebEnginePage::newWindowRequested, this, &WebPage::WebBrowser1NewWindow2);
    connect(WebBrowser1->page(), &QWebEnginePage::certificateError, this,
            &WebPage::WebBrowser1CertificateError);
    if (m_traits.lastStatusText)
        connect(WebBrowser1->page(), &QWebEnginePage::linkHovered, this,
                &WebPage::WebBrowser1StatusTextChange);

    if (m_traits.contextClickFilter)
        qApp->installEventFilter(this);
}

WebPage::~WebPage()
{
    if (m_traits.contextClickFilter)
        qApp->removeEventFilter(this);
    // Gone before the rest of the page, so that nothing of the view reaches this page's
    // handlers half-destroyed. The view's page goes with the view; the profile is the
    // process-wide default one, created once and shared by every page.
    WebBrowser1->removeEventFilter(this);
    delete WebBrowser1;
    WebBrowser1 = nullptr;
}

void WebPage::startLoadingIndicator()
{
    ProgressBar1->setRange(0, 100);
    m_loadingPanel->show();
    m_loadingPanel->raise();
    Timer1->start();
}

void WebPage::stopLoadingIndicator()
{
    Timer1->stop();
    m_loadingPanel->hide();
}

void WebPage::Navigate(const QString &address)
{
    WebBrowser1->setUrl(QUrl(address));
}

void WebPage::FormResize()
{
    // Integer division rounds toward zero; a view smaller than the panel gives negative edges.
    m_loadingPanel->move((WebBrowser1->width() - m_loadingPanel->width()) / 2,
                         (WebBrowser1->height() - m_loadingPanel->height()) / 2);
}

void WebPage::Timer1Timer()
{
    int position = ProgressBar1->value() + 1;
    if (position >= 100)
        position = 0;
    ProgressBar1->setValue(position);
}

void WebPage::WebBrowser1DocumentComplete()
{
    stopLoadingIndicator();
}

void WebPage::WebBrowser1DownloadComplete()
{
    stopLoadingIndicator();
}

void WebPage::WebBrowser1NewWindow2(QWebEngineNewWindowRequest &request)
{
    // Not opening the request in a page refuses it: the view creates no window of its own.
    if (m_traits.newWindows != NewWindows::OpenInPlaceAtStatusText || !m_traits.lastStatusText)
        return;
    const QUrl target =
        NewWindowPolicy::target(request.requestedUrl(), request.isUserInitiated(), *m_traits.lastStatusText);
    if (!target.isEmpty())
        WebBrowser1->setUrl(target);
}

void WebPage::WebBrowser1StatusTextChange(const QString &text)
{
    if (m_traits.lastStatusText)
        *m_traits.lastStatusText = text;
}

void WebPage::resizeEvent(QResizeEvent *event)
{
    Tmain::resizeEvent(event);
    FormResize();
}

bool WebPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == WebBrowser1 && event->type() == QEvent::Resize)
        FormResize();
    return ApplicationEvents1Message(watched, event) || Tmain::eventFilter(watched, event);
}

bool WebPage::ApplicationEvents1Message(QObject *receiver, QEvent *event) const
{
    if (!m_traits.contextClickFilter)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() != Qt::RightButton)
            return false;
        break;
    case QEvent::ContextMenu:
        // The menu the toolkit derives from a right click (the keyboard's menu key still works).
        if (static_cast<QContextMenuEvent *>(event)->reason() != QContextMenuEvent::Mouse)
            return false;
        break;
    default:
        return false;
    }
    return isInsideWebBrowser(receiver);
}

bool WebPage::isInsideWebBrowser(QObject *object) const
{
    if (!object->isWidgetType())
        return false;
    // The view hands its input to a child widget (its focus proxy), and popups of the page
    // are children of it too.
    for (auto *widget = static_cast<QWidget *>(object); widget; widget = widget->parentWidget())
        if (widget == WebBrowser1)
            return true;
    return false;
}

// The view verifies against the system's store and cannot be given another authority, so it
// asks here about a certificate it could not place. Only the service's own host may be
// vouched for by the client's extra authorities, after a full check of its own; anything
// else is refused, and no page can be told to go on regardless.
void WebPage::WebBrowser1CertificateError(const QWebEngineCertificateError &error)
{
    QWebEngineCertificateError decision = error; // shares the pending request
    QList<QByteArray> chain;
    for (const QSslCertificate &certificate : error.certificateChain())
        chain << certificate.toDer();
    if (error.type() == QWebEngineCertificateError::CertificateAuthorityInvalid &&
        onServiceHost(error.url()) && CertificateTrust::verifiedByExtraAuthorities(chain, error.url().host()))
        decision.acceptCertificate();
    else
        decision.rejectCertificate();
}
