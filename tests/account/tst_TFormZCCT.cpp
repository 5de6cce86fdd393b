#include "ClientServiceFixture.h"
#include "ClosedHost.h"
#include "ServiceClient.h"
#include "ServiceHostOverride.h"
#include "UnitGlouble.h"
#include "UnitZCCT.h"

#include <QDate>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using Kind = MessageBoxes::Kind;
using Icon = MessageBoxes::Icon;

class tst_TFormZCCT : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layoutAndCaption();
    void refusedBeforeAnyRequest_data();
    void refusedBeforeAnyRequest();
    void serviceFailureReachesTheDefaultReport();
    void apply_data();
    void apply();
    void secondApplicationIsPending();

private:
    void fill(TFormZCCT &form, const QString &name, const QString &qq, const QString &password,
              const QString &confirmation);

    std::unique_ptr<ClientServiceFixture> m_client;
    ServiceFixture *m_service = nullptr;
    MessageBoxRecorder *m_boxes = nullptr;
};

void tst_TFormZCCT::initTestCase()
{
    UnitGlouble = GlobalState{};
    UnitGlouble.SystemName = QStringLiteral("智能股票预警系统");
}

void tst_TFormZCCT::init()
{
    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
    m_service = &m_client->service();
    m_boxes = &m_client->boxes();
}

void tst_TFormZCCT::cleanup()
{
    m_client.reset();
}

void tst_TFormZCCT::fill(TFormZCCT &form, const QString &name, const QString &qq, const QString &password,
                         const QString &confirmation)
{
    form.Edit1->setText(name);
    form.Edit2->setText(qq);
    form.Edit3->setText(password);
    form.Edit4->setText(confirmation);
}

void tst_TFormZCCT::layoutAndCaption()
{
    TFormZCCT form;
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("智能股票预警系统注册窗体"));
    QCOMPARE(form.size(), QSize(387, 305));
    QCOMPARE(form.Label3->text(), QStringLiteral("申 请 人   Q Q："));
    QVERIFY(form.Label1->font().bold());
    QCOMPARE(form.Edit1->geometry(), QRect(160, 29, 169, 21));
    QCOMPARE(form.Edit4->geometry(), QRect(160, 159, 169, 21));
    QCOMPARE(form.Edit3->echoMode(), QLineEdit::Password);
    QCOMPARE(form.Edit4->echoMode(), QLineEdit::Password);
    QCOMPARE(form.Button1->geometry(), QRect(81, 253, 75, 25));
    QCOMPARE(form.Button2->geometry(), QRect(225, 253, 75, 25));
    form.Button2->click();
    QVERIFY(!form.isVisible());
}

void tst_TFormZCCT::refusedBeforeAnyRequest_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty name") << QString() << QStringLiteral("a") << QStringLiteral("a")
                                << QStringLiteral("用户名不能为空，请重新输入!");
    QTest::newRow("blank name") << QStringLiteral(" \t ") << QStringLiteral("a") << QStringLiteral("a")
                                << QStringLiteral("用户名不能为空，请重新输入!");
    QTest::newRow("passwords differ")
        << QStringLiteral("newbie") << QStringLiteral("abc") << QStringLiteral("abd")
        << QStringLiteral("密码输入不一致，请重新输入!");
    // Compared as typed, although the password would be stored trimmed.
    QTest::newRow("trailing blank") << QStringLiteral("newbie") << QStringLiteral("abc")
                                    << QStringLiteral("abc ")
                                    << QStringLiteral("密码输入不一致，请重新输入!");
}

void tst_TFormZCCT::refusedBeforeAnyRequest()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, confirmation);
    QFETCH(QString, message);
    {
        const ServiceHostOverride closedHost(ClosedHost); // any request would throw a transport error
        TFormZCCT form;
        fill(form, name, QStringLiteral("12345"), password, confirmation);
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    }
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().kind, Kind::System);
    QCOMPARE(m_boxes->last().owner, nullptr);
    QCOMPARE(m_boxes->last().text, message);
    QCOMPARE(m_boxes->last().caption, QStringLiteral("提示"));
    QCOMPARE(m_boxes->last().icon, Icon::None);
    QVERIFY(m_service->querySql(QStringLiteral("select usetrname from NewUser")).isEmpty());
}

// A failing call inside the click handler reaches the default error report where the handler
// is entered; nothing is thrown out of the slot (this test's application has no safety net).
void tst_TFormZCCT::serviceFailureReachesTheDefaultReport()
{
    {
        const ServiceHostOverride closedHost(ClosedHost);
        TFormZCCT form;
        fill(form, QStringLiteral("newbie"), QStringLiteral("12345"), QStringLiteral("abc"),
             QStringLiteral("abc"));
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    }
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().kind, Kind::Application);
    QCOMPARE(m_boxes->last().caption, UnitGlouble.SystemName); // the application title
    QCOMPARE(m_boxes->last().icon, Icon::Error);
    QCOMPARE(m_boxes->last().buttons, MessageBoxes::Buttons::Ok);
    // What happened in Chinese; libcurl's words and the address behind the details button.
    QVERIFY2(m_boxes->last().text.startsWith(QStringLiteral("无法连接到服务器 127.0.0.1")),
             qPrintable(m_boxes->last().text));
    QVERIFY2(m_boxes->last().details.contains(QStringLiteral("SOAPAction")),
             qPrintable(m_boxes->last().details));
    QVERIFY(m_service->querySql(QStringLiteral("select usetrname from NewUser")).isEmpty());
}

void tst_TFormZCCT::apply_data()
{
    QTest::addColumn<QString>("existingApplication");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("qq");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored"); // empty: nothing new stored

    const QString success = QStringLiteral("注册成功，我们会及时联系您！");
    const QString duplicate = QStringLiteral("用户名重复，请换一个用户名申请！");
    const QString pending = QStringLiteral("该用户名正在申请中，请换一个用户名申请！");
    QTest::newRow("new name with apostrophe")
        << QString() << QStringLiteral("O'Brien") << QStringLiteral("123'45") << success
        << QStringLiteral("O'Brien");
    QTest::newRow("blanks around name: looked up as typed, stored trimmed")
        << QString() << QStringLiteral(" Zed ") << QStringLiteral(" 678 ") << success
        << QStringLiteral("Zed");
    // Typed with blanks the name passes the lookup, but the store refuses a second "O'Brien".
    QTest::newRow("refused by the store")
        << QStringLiteral("O'Brien") << QStringLiteral(" O'Brien") << QString()
        << QStringLiteral("注册失败，请重新再试！") << QString();
    QTest::newRow("existing account")
        << QString() << QStringLiteral("demo") << QString() << duplicate << QString();
    QTest::newRow("account name in other case")
        << QString() << QStringLiteral("Demo") << QString() << success << QStringLiteral("Demo");
    QTest::newRow("pending application with apostrophe")
        << QStringLiteral("O'Brien") << QStringLiteral("O'Brien") << QString() << pending << QString();
    QTest::newRow("apostrophe cannot widen the match")
        << QStringLiteral("x") << QStringLiteral("x' or '1'='1") << QString() << success
        << QStringLiteral("x' or '1'='1");
}

void tst_TFormZCCT::apply()
{
    QFETCH(QString, existingApplication);
    QFETCH(QString, name);
    QFETCH(QString, qq);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    if (!existingApplication.isEmpty()) {
        TFormZCCT first;
        fill(first, existingApplication, QString(), QString(), QString());
        first.Button1Click();
        QCOMPARE(m_boxes->last().text, QStringLiteral("注册成功，我们会及时联系您！"));
        m_boxes->clear();
    }
    const int before = m_service->querySql(QStringLiteral("select usetrname from NewUser")).size();

    TFormZCCT form;
    form.show();
    fill(form, name, qq, QStringLiteral("pw'd"), QStringLiteral("pw'd"));
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(m_boxes->count(), 1);
    const MessageBoxes::Request &box = m_boxes->last();
    QCOMPARE(box.text, message);
    QCOMPARE(box.kind, Kind::Application);
    QCOMPARE(box.owner, &form);
    QCOMPARE(box.caption, stored.isEmpty() ? QStringLiteral("申请错误！") : QStringLiteral("提示"));
    QCOMPARE(box.icon, stored.isEmpty() ? Icon::Error : Icon::None);
    QVERIFY(form.isVisible()); // the window stays open either way

    const auto rows = m_service->querySql(QStringLiteral("select usetrname, shouji, zhucetime from NewUser"));
    if (stored.isEmpty()) {
        QCOMPARE(rows.size(), before);
        return;
    }
    QCOMPARE(rows.size(), before + 1);
    const QStringList &row = rows.last();
    QCOMPARE(row.at(0), stored);
    QCOMPARE(row.at(1), qq.trimmed());
    QVERIFY2(row.at(2).startsWith(QDate::currentDate().toString(Qt::ISODate)), qPrintable(row.at(2)));
}

void tst_TFormZCCT::secondApplicationIsPending()
{
    TFormZCCT form;
    fill(form, QStringLiteral("张三"), QStringLiteral("10001"), QString(), QString()); // empty passwords pass
    form.Button1Click();
    QCOMPARE(m_boxes->last().text, QStringLiteral("注册成功，我们会及时联系您！"));
    form.Button1Click();
    QCOMPARE(m_boxes->count(), 2);
    QCOMPARE(m_boxes->last().text, QStringLiteral("该用户名正在申请中，请换一个用户名申请！"));
    QCOMPARE(
        m_service->querySql(QStringLiteral("select usetrname, shouji from NewUser where usetrname='张三'")),
        (QList<QStringList>{{QStringLiteral("张三"), QStringLiteral("10001")}}));
}

QTEST_MAIN(tst_TFormZCCT)
#include "tst_TFormZCCT.moc"
