// Draws the alert list page with the demo data, at its real size inside a content panel of
// 801 x 547, and the settings window on each of its four pages, into PNG files.
//
//   xvfb-run -a -s "-screen 0 1280x800x24" pages_screenshot docs/screenshots

#include "ReminderSettings.h"
#include "ServiceClient.h"
#include "ServiceFixture.h"
#include "StringGrid.h"
#include "UnitGlouble.h"
#include "UnitSMNC.h"
#include "UnitXTSZ.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

namespace {

bool save(QWidget *widget, const QString &path)
{
    QApplication::processEvents();
    const bool saved = widget->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

bool drawAlertList(const QString &folder)
{
    QWidget panel;
    panel.resize(801, 547);
    auto *page = new TFormSMNC(&panel);
    panel.show();
    QTest::qWaitForWindowExposed(&panel);
    page->StringGrid1->selectRow(1);
    page->StringGrid1DblClick();
    return save(&panel, folder + QStringLiteral("/alertlist.png"));
}

bool drawSettings(const QString &folder)
{
    TFormXTSZ form;
    form.show();
    QTest::qWaitForWindowExposed(&form);
    const char *names[] = {"settings-password.png", "settings-sound.png", "settings-about.png",
                           "settings-reminders.png"};
    bool saved = true;
    for (int page = 0; page < 4; ++page) {
        form.PageControl1->setCurrentIndex(page);
        saved = save(&form, folder + u'/' + QLatin1String(names[page])) && saved;
    }
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(STOCK_ALERT_VERSION));
    // The reminder settings as a new user has them, whatever this machine's user chose.
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(ReminderSettings::filePath());
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(folder);
    ServiceFixture service;
    if (!service.isRunning()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(service.errorString()));
        return 1;
    }
    ServiceClient::setServiceHost(service.host());
    UnitGlouble.SystemName = QStringLiteral("智能股票预警系统");
    UnitGlouble.SupportQQ = QStringLiteral("800012345");
    UnitGlouble.UserTiering = true;
    UnitGlouble.UserLevel = QStringLiteral("2");
    const bool saved = drawAlertList(folder) && drawSettings(folder);
    return saved ? 0 : 1;
}
