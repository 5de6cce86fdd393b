// Draws a web page inside a content panel of 801 x 547: the news page with its toolbar once the
// demo page has arrived, and the quotes page while its address keeps it waiting, so that the
// loading panel shows. The web view draws with OpenGL, so the picture is taken from the display.
//
//   xvfb-run -a -s "-screen 0 1280x800x24" webpages_screenshot docs/screenshots

#include "GraphicsChoice.h"
#include "ServiceClient.h"
#include "ServiceFixture.h"
#include "UnitGlouble.h"
#include "UnitPCGG.h"
#include "UnitXWZX.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QWebEngineView>

#include <cstdio>
#include <unistd.h>

namespace {

bool save(QWidget *panel, const QString &path)
{
    // Let the view put its last frame on the screen.
    QTest::qWait(500);
    const QPixmap picture = panel->screen()->grabWindow(panel->winId());
    const bool saved = !picture.isNull() && picture.save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

bool drawNews(const QString &folder)
{
    QWidget panel;
    panel.resize(801, 547);
    auto *page = new TFormXWZX(&panel);
    QSignalSpy loaded(page->WebBrowser1, &QWebEngineView::loadFinished);
    panel.show();
    page->show();
    if (!QTest::qWaitForWindowExposed(&panel) || !loaded.wait(30000))
        return false;
    return save(&panel, folder + QStringLiteral("/webpage.png"));
}

bool drawLoading(const QString &folder)
{
    // Accepts the connection and never answers: the page stays at its loading panel.
    QTcpServer silent;
    if (!silent.listen(QHostAddress::LocalHost))
        return false;
    UnitGlouble.QuotesUrl = QStringLiteral("http://127.0.0.1:%1/quotes.html").arg(silent.serverPort());
    QWidget panel;
    panel.resize(801, 547);
    auto *page = new TFormPCGG(&panel);
    panel.show();
    page->show();
    if (!QTest::qWaitForWindowExposed(&panel))
        return false;
    QTest::qWait(1500); // the bar a little way along
    return save(&panel, folder + QStringLiteral("/webpage-loading.png"));
}

} // namespace

int main(int argc, char **argv)
{
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    GraphicsChoice::applyToProcess(); // drawn as the client draws them
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    ServiceFixture service;
    if (!service.isRunning()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(service.errorString()));
        return 2;
    }
    ServiceClient::setServiceHost(service.host());
    UnitGlouble.NewsUrl = service.host() + QStringLiteral("/pages/news.html");

    const bool news = drawNews(folder);
    const bool loading = drawLoading(folder);
    return news && loading ? 0 : 1;
}
