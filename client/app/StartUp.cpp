#include "StartUp.h"

#include "MessageBoxes.h"
#include "NetworkState.h"
#include "PageRegistry.h"
#include "ServiceClient.h"
#include "SingleInstance.h"
#include "TDataModule5.h"
#include "TerminationSignals.h"
#include "UnitLogin.h"
#include "UnitMain.h"

#include <QApplication>
#include <QPointer>

#include <memory>

StartUp::StartUp() : m_networkCheck(&StartUp::IsNetworkConnected), m_messageLoop(&QApplication::exec) {}

bool StartUp::IsNetworkConnected()
{
    return NetworkState::isConnected(ServiceClient::serviceHost());
}

int StartUp::run()
{
    // A second start in the same session would sign in again, and the first client's
    // login-elsewhere check would then end it: the running one comes to the front instead.
    SingleInstance instance(ServiceClient::serviceHost());
    if (!instance.claim())
        return 0;

    if (!m_networkCheck()) {
        MessageBoxes::system(QStringLiteral("没有连接上网络请先连接网络再打开本软件，请关闭!"),
                             QStringLiteral("提示"));
        return 0;
    }

    TDataModule5 dataModule;
    registerPages();
    TFrmMain mainWindow;
    QPointer<TFrmLogin> openLogin;
    // Until the login succeeds the login window is what the user should see.
    QObject::connect(&instance, &SingleInstance::activationRequested, &mainWindow, [&mainWindow, &openLogin] {
        if (openLogin) {
            openLogin->raise();
            openLogin->activateWindow();
        } else {
            mainWindow.restoreApplication();
        }
    });

    int modalResult = 0;
    {
        // Destroyed as soon as it closes, also when showing it ends in an error.
        auto login = std::make_unique<TFrmLogin>(&mainWindow);
        openLogin = login.get();
        if (login->terminationRequested())
            return 0;
        modalResult = login->exec();
    }
    if (modalResult != TFrmLogin::mrOk)
        return 0;

    // SIGTERM and SIGINT leave the loop as the close confirmation does; the main window's
    // destroy step then runs as it goes.
    TerminationSignals::install([&mainWindow] { mainWindow.terminateApplication(); });
    mainWindow.show();
    m_messageLoop();
    return 0;
}
