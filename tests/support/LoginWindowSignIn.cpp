#include "LoginWindowSignIn.h"

#include "UnitLogin.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>

bool signInThroughLoginWindow(const QString &name, const QString &password)
{
    TFrmLogin login;
    login.show();
    login.Edit1->setText(name);
    login.Edit2->setText(password);
    QTest::mouseClick(login.SpeedButton1, Qt::LeftButton);
    return login.result() == TFrmLogin::mrOk;
}
