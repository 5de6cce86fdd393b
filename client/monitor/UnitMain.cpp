#include "UnitMain.h"

#include "UnitGlouble.h"

#include <QGuiApplication>
#include <QScreen>

TFrmMain::TFrmMain(QWidget *parent) : QWidget(parent)
{
    resize(1009, 677);
    // Placed at once, so that the login window can centre itself over this area while the
    // main window is still hidden.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFrmMain::showEvent(QShowEvent *event)
{
    setWindowTitle(UnitGlouble.SystemName);
    QWidget::showEvent(event);
}
