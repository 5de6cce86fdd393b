// Shows three stacked alert toasts with the main window's notifier settings, waits until they
// have slid in completely and saves a picture of the whole screen.
//
//   xvfb-run -a -s "-screen 0 1280x800x24" toast_screenshot docs/screenshots/toasts.png

#include "PopUpPresets.h"
#include "TPopUpNotifier.h"
#include "TfrmPopUpToast.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

bool allSlidIn()
{
    int shown = 0;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        auto *toast = qobject_cast<TfrmPopUpToast *>(window);
        if (!toast)
            continue;
        if (toast->tmrScroll->isActive())
            return false;
        ++shown;
    }
    return shown == 3;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("toasts.png");

    QWidget host;
    auto *notifier = new TPopUpNotifier(&host);
    applyMainWindowPreset(*notifier);

    const QStringList texts{
        QStringLiteral("弹出时间：2026-12-10 09:31:05\r股票代码：600036\r操作方式：买入"),
        // A long news text: shrunk and cut to the pale part of the toast, whole in its tooltip.
        QStringLiteral(
            "弹出时间：2026-12-10 09:32:40\r资讯类型：盘中快讯\r资讯内容：银行板块午前走强，招商银行涨逾3%"
            "，平安银行、兴业银行跟涨；券商板块同步拉升，两市成交额较昨日同期放大两成，北向资金净流入"
            "超过五十亿元。"),
        QStringLiteral("【私募内参新消息】\r弹出时间：2026-12-10 09:35:12\r内参标题：四季度仓位调整要点"),
    };
    for (const QString &text : texts) {
        notifier->setText(text);
        if (!notifier->ShowPopUp()) {
            std::fprintf(stderr, "no room for a toast\n");
            return 1;
        }
    }

    // Each toast slides in for about 14 ticks of 25 ms and then stays for six seconds.
    // A local loop: quitting the application would close every window, the toasts included.
    const QDeadlineTimer deadline(5000);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (allSlidIn() || deadline.hasExpired())
            loop.quit();
    });
    poll.start();
    loop.exec();
    if (!allSlidIn()) {
        std::fprintf(stderr, "the toasts did not finish sliding in\n");
        return 1;
    }
    // Let the last geometry change reach the display before grabbing it.
    QCoreApplication::processEvents();
    QApplication::sync();

    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    if (!screen.save(output)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s: %dx%d\n", qPrintable(output), screen.width(), screen.height());
    return 0;
}
