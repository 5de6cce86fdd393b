// Draws the main window with the alert list page under a dark desktop theme (Fusion with a
// dark palette), signed in as demo against a service with the demo data, into a PNG file.
//
//   xvfb-run -a -s "-screen 0 1280x800x24" mainwindow_screenshot docs/screenshots/main-dark.png

#include "DarkPalette.h"
#include "LoginWindowSignIn.h"
#include "MainWindowWithTimersStopped.h"
#include "MessageBoxRecorder.h"
#include "ServiceClient.h"
#include "ServiceFixture.h"
#include "StringGrid.h"
#include "UnitMain.h"
#include "UnitSMNC.h"

#include <QApplication>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTest>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(darkPalette());
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main-dark.png");

    ServiceFixture service;
    if (!service.isRunning()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(service.errorString()));
        return 1;
    }
    ServiceClient::setServiceHost(service.host());
    const MessageBoxRecorder boxes; // no dialog may block the drawing
    if (!signInThroughLoginWindow(QStringLiteral("demo"), QStringLiteral("demo"))) {
        std::fprintf(stderr, "signing in failed\n");
        return 1;
    }
    TFrmMain::setPageFactory(TFrmMain::PageKind::AlertList,
                             [](QWidget *hostPanel) -> Tmain * { return new TFormSMNC(hostPanel); });
    auto window = showMainWindowWithTimersStopped();
    QTest::qWaitForWindowExposed(window.get());
    if (auto *page = qobject_cast<TFormSMNC *>(window->CurrentPage)) {
        page->StringGrid1->selectRow(0);
        page->StringGrid1DblClick();
    }
    QApplication::processEvents();
    const bool saved = window->grab().save(output);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(output));
    return saved ? 0 : 1;
}
