#include "AlertSound.h"
#include "ClientServiceFixture.h"
#include "ClosedHost.h"
#include "FileChooserOverride.h"
#include "RememberedCredentials.h"
#include "ReminderSettings.h"
#include "ServiceClient.h"
#include "ServiceHostOverride.h"
#include "SignedInAccount.h"
#include "UnitGlouble.h"
#include "UnitXTSZ.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using Kind = MessageBoxes::Kind;
using Icon = MessageBoxes::Icon;

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class tst_TFormXTSZ : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layoutAndAbout();
    void aboutTextsArePlain();
    void closeButtons_data();
    void closeButtons();
    void passwordRefused_data();
    void passwordRefused();
    void passwordChanged_data();
    void passwordChanged();
    void passwordChangedWithKeys();
    void passwordNotChangedByTheService();
    void passwordWithServiceDown();
    void secondChangeComparesWithThePasswordInForce_data();
    void secondChangeComparesWithThePasswordInForce();
    void soundChooser_data();
    void soundChooser();
    void soundChooserCancelled();
    void soundInUseCannotBeWritten();
    void soundInUseNamedAndPlayed();
    void aboutShowsVersionAndCopiesTheNumber();

private:
    void holdOnlineRecord();
    QString verify(const QString &user, const QString &password);
    void choose(const QString &file);
    // Runs one change on a fresh window; true when it was confirmed.
    bool changePassword(const QString &current, const QString &password);

    std::unique_ptr<ClientServiceFixture> m_client;
    ServiceFixture *m_service = nullptr;
    MessageBoxRecorder *m_boxes = nullptr;
    std::unique_ptr<QTemporaryDir> m_appDir;
    QString m_folder; // the start folder the chooser was given
    QString m_filter;
    QWidget *m_chooserOwner = nullptr;
    int m_choices = 0;
    std::optional<FileChooserOverride> m_chooser;
};

void tst_TFormXTSZ::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true); // the sound in use goes to a test location
}

void tst_TFormXTSZ::init()
{
    QFile::remove(ReminderSettings::filePath()); // the name of the sound in use among them
    UnitGlouble = GlobalState{};
    UnitGlouble.SystemName = QStringLiteral("智能股票预警系统");
    UnitGlouble.SupportQQ = QStringLiteral("800012345");
    UnitGlouble.UserId = QStringLiteral("1");
    UnitGlouble.UserName = QStringLiteral("demo");
    UnitGlouble.UserPassword = QStringLiteral("demo");

    // A program directory with the shipped sound and three to choose from in Mid/.
    m_appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid());
    UnitGlouble.AppDir = m_appDir->path() + u'/';
    QVERIFY(QDir(m_appDir->path()).mkdir(QStringLiteral("Mid")));
    QVERIFY(write(UnitGlouble.AppDir + QStringLiteral("miduseing.wav"), "RIFF shipped"));
    for (const QString name : {u"chime"_qs, u"bell"_qs, u"ding-dong"_qs})
        QVERIFY(write(UnitGlouble.AppDir + u"Mid/"_qs + name + u".wav"_qs, "RIFF " + name.toUtf8()));
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(QDir(dataDir).removeRecursively());
    QCOMPARE(contentOf(AlertSound::inUsePath()), QByteArray("RIFF shipped")); // seeded

    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
    m_service = &m_client->service();
    m_boxes = &m_client->boxes();
    m_choices = 0;
}

void tst_TFormXTSZ::cleanup()
{
    m_chooser.reset();
    m_client.reset();
    const QString inUse = AlertSound::inUsePath();
    QFile::setPermissions(inUse, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    m_appDir.reset();
}

// The service accepts the password update of account N only from the address that holds N's
// online record, as a signed-in client does.
void tst_TFormXTSZ::holdOnlineRecord()
{
    // Signed in just now: the record binds its address for a while after the sign-in.
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    QVERIFY(m_service->execSql(
        QStringLiteral("insert into userdl(userid, userzh, userpas, userdqsj, userdlsj, userdlip, holderip) "
                       "values(1, 'demo', 'demo', '2099-12-31', '") +
        now + QStringLiteral("', '127.0.0.1', '127.0.0.1')")));
}

QString tst_TFormXTSZ::verify(const QString &user, const QString &password)
{
    return ServiceClient::GetWebServiceSoap()->yanzheng(user, password);
}

void tst_TFormXTSZ::choose(const QString &file)
{
    m_chooser.reset(); // the one before goes first, so that the real dialog is restored at the end
    m_chooser.emplace([this, file](QWidget *owner, const QString &folder, const QString &filter) {
        ++m_choices;
        m_chooserOwner = owner;
        m_folder = folder;
        m_filter = filter;
        return file;
    });
}

void tst_TFormXTSZ::layoutAndAbout()
{
    QWidget mainWindow;
    TFormXTSZ form(&mainWindow);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("系统设置"));
    QCOMPARE(form.size(), QSize(558, 416));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
    QCOMPARE(form.PageControl1->geometry(), form.rect());

    QCOMPARE(form.PageControl1->count(), 4);
    QCOMPARE(form.PageControl1->tabText(0), QStringLiteral("修改密码"));
    QCOMPARE(form.PageControl1->tabText(1), QStringLiteral("修改提示音"));
    QCOMPARE(form.PageControl1->tabText(2), QStringLiteral("关于软件"));
    QCOMPARE(form.PageControl1->tabText(3), QStringLiteral("提醒设置"));
    QCOMPARE(form.PageControl1->currentWidget(), form.TabSheet4);

    QCOMPARE(form.Label8->text(), QStringLiteral("智能股票预警系统"));
    QCOMPARE(form.Label5->text(), QStringLiteral("800012345"));
    QCOMPARE(form.Label4->text(), QStringLiteral("客服QQ："));
    QVERIFY(form.Label8->font().bold());
    QCOMPARE(form.Label8->font().pixelSize(), 29);
    QCOMPARE(form.Label8->alignment(), Qt::AlignCenter);
    QCOMPARE(form.Label8->geometry().top(), 53);
    QCOMPARE(form.Label8->width(), form.TabSheet4->width());
    QCOMPARE(form.Label5->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(form.Label5->font().pixelSize(), 16);
    QCOMPARE(form.Button7->text(), QStringLiteral("关闭窗体"));
    QCOMPARE(form.Button7->geometry(), QRect(224, 260, 105, 25));
    QCOMPARE(form.Button4->text(), QStringLiteral("修改提示音"));
    QCOMPARE(form.Button4->geometry(), QRect(129, 59, 136, 25));
    QCOMPARE(form.Button3->geometry(), QRect(320, 59, 91, 25));

    QCOMPARE(form.Label1->text(), QStringLiteral("原始密码："));
    QCOMPARE(form.Label2->text(), QStringLiteral("修改密码："));
    QCOMPARE(form.Label3->text(), QStringLiteral("确认密码："));
    QCOMPARE(form.Edit1->geometry(), QRect(233, 70, 158, 21));
    QCOMPARE(form.Edit1->echoMode(), QLineEdit::Password);
    QCOMPARE(form.Edit2->echoMode(), QLineEdit::Password);
    QCOMPARE(form.Edit3->echoMode(), QLineEdit::Password);
    QCOMPARE(form.Button1->text(), QStringLiteral("确认修改"));
    QCOMPARE(form.Button1->geometry(), QRect(145, 267, 91, 25));
    QCOMPARE(form.Button2->geometry(), QRect(304, 267, 91, 25));
    const QList<QWidget *> order = {form.Edit1, form.Edit2, form.Edit3, form.Button1, form.Button2};
    for (int i = 0; i + 1 < order.size(); ++i) {
        QWidget *next = order.at(i)->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        QCOMPARE(next, order.at(i + 1));
    }
}

void tst_TFormXTSZ::aboutTextsArePlain()
{
    UnitGlouble.SystemName = QStringLiteral("<b>系统</b>");
    UnitGlouble.SupportQQ = QStringLiteral("<a href='x'>1</a>");
    TFormXTSZ form;
    QCOMPARE(form.Label8->textFormat(), Qt::PlainText);
    QCOMPARE(form.Label5->textFormat(), Qt::PlainText);
    QCOMPARE(form.Label8->text(), UnitGlouble.SystemName);
}

void tst_TFormXTSZ::closeButtons_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::newRow("password page") << 0 << QStringLiteral("Button2");
    QTest::newRow("sound page") << 1 << QStringLiteral("Button3");
    QTest::newRow("about page") << 2 << QStringLiteral("Button7");
}

void tst_TFormXTSZ::closeButtons()
{
    QFETCH(int, page);
    QFETCH(QString, button);
    TFormXTSZ form;
    form.show();
    form.PageControl1->setCurrentIndex(page);
    QPushButton *close = page == 0 ? form.Button2 : page == 1 ? form.Button3 : form.Button7;
    QCOMPARE(close->text(), QStringLiteral("关闭窗体"));
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(m_choices, 0);
}

void tst_TFormXTSZ::passwordRefused_data()
{
    QTest::addColumn<QString>("userId");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("errorIcon");

    const QString mismatch = QStringLiteral("修改密码输入不一致!");
    const QString wrongCurrent = QStringLiteral("原始密码输入错误!");
    QTest::newRow("mismatch") << u"1"_qs << u"demo"_qs << u"abc"_qs << u"abd"_qs << mismatch << true;
    QTest::newRow("letter case differs")
        << u"1"_qs << u"demo"_qs << u"abc"_qs << u"Abc"_qs << mismatch << true;
    // The confirmation is checked first.
    QTest::newRow("mismatch and wrong current")
        << u"1"_qs << u"wrong"_qs << u"abc"_qs << u"abd"_qs << mismatch << true;
    QTest::newRow("wrong current") << u"1"_qs << u"wrong"_qs << u"abc"_qs << u"abc"_qs << wrongCurrent
                                   << true;
    QTest::newRow("current in other case")
        << u"1"_qs << u"Demo"_qs << u"abc"_qs << u"abc"_qs << wrongCurrent << true;
    // A user id that is not a number never reaches a statement.
    QTest::newRow("user id not a number") << u"1 or 1=1"_qs << u"demo"_qs << u"abc"_qs << u"abc"_qs
                                          << QStringLiteral("修改失败，系统错误!") << false;
}

// Nothing is sent: the service is out of reach, so a request would end in the system error.
void tst_TFormXTSZ::passwordRefused()
{
    QFETCH(QString, userId);
    QFETCH(QString, current);
    QFETCH(QString, password);
    QFETCH(QString, confirmation);
    QFETCH(QString, message);
    QFETCH(bool, errorIcon);
    UnitGlouble.UserId = userId;
    auto closedHost = std::make_unique<ServiceHostOverride>(ClosedHost);

    TFormXTSZ form;
    form.show();
    form.PageControl1->setCurrentWidget(form.TabSheet1);
    QTest::keyClicks(form.Edit1, current);
    QTest::keyClicks(form.Edit2, password);
    QTest::keyClicks(form.Edit3, confirmation);
    QTest::mouseClick(form.Button1, Qt::LeftButton);

    QCOMPARE(m_boxes->count(), 1);
    const MessageBoxes::Request &box = m_boxes->last();
    QCOMPARE(box.text, message);
    QCOMPARE(box.caption, QStringLiteral("错误！"));
    QCOMPARE(box.icon, errorIcon ? Icon::Error : Icon::None);
    QCOMPARE(box.kind, Kind::Application);
    QCOMPARE(box.owner, &form);
    QVERIFY(form.isVisible());
    QCOMPARE(form.Edit2->text(), password); // left as typed
    closedHost.reset();
    QCOMPARE(verify(u"demo"_qs, u"demo"_qs), QStringLiteral("true"));
}

void tst_TFormXTSZ::passwordChanged_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("stored");

    QTest::newRow("plain") << u"demo"_qs << u"n3w-Pass"_qs << u"n3w-Pass"_qs << u"n3w-Pass"_qs;
    QTest::newRow("blanks around, stored trimmed")
        << u" demo\t"_qs << u"  secret "_qs << u"secret"_qs << u"secret"_qs;
    QTest::newRow("apostrophes stored as typed")
        << u"demo"_qs << u"it's' or '1'='1"_qs << u"it's' or '1'='1"_qs << u"it's' or '1'='1"_qs;
    QTest::newRow("Chinese") << u"demo"_qs << u"密码一二三"_qs << u"密码一二三"_qs << u"密码一二三"_qs;
}

void tst_TFormXTSZ::passwordChanged()
{
    QFETCH(QString, current);
    QFETCH(QString, password);
    QFETCH(QString, confirmation);
    QFETCH(QString, stored);
    holdOnlineRecord();

    TFormXTSZ form;
    form.show();
    form.Edit1->setText(current);
    form.Edit2->setText(password);
    form.Edit3->setText(confirmation);
    QTest::mouseClick(form.Button1, Qt::LeftButton);

    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("修改成功!"));
    QCOMPARE(m_boxes->last().caption, QStringLiteral("提示！"));
    QCOMPARE(m_boxes->last().icon, Icon::None);
    QCOMPARE(m_boxes->last().owner, &form);
    QVERIFY(!form.isVisible());
    QCOMPARE(verify(u"demo"_qs, stored), QStringLiteral("true"));
    QCOMPARE(UnitGlouble.UserPassword, stored); // the password in force from now on
    // The other accounts keep theirs: the apostrophes did not widen the statement.
    QCOMPARE(verify(u"vip"_qs, u"vip"_qs), QStringLiteral("true"));
}

// The original password is masked like the others; Enter goes from box to box and makes the
// change in the last one.
void tst_TFormXTSZ::passwordChangedWithKeys()
{
    holdOnlineRecord();
    TFormXTSZ form;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.PageControl1->setCurrentWidget(form.TabSheet1);
    form.Edit1->setFocus();
    QTest::keyClicks(form.Edit1, u"demo"_qs);
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), form.Edit2);
    QTest::keyClicks(form.Edit2, u"keys"_qs);
    QTest::keyClick(form.Edit2, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), form.Edit3);
    QCOMPARE(m_boxes->count(), 0); // nothing sent before the last box
    QTest::keyClicks(form.Edit3, u"keys"_qs);
    QTest::keyClick(form.Edit3, Qt::Key_Enter);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("修改成功!"));
    QCOMPARE(verify(u"demo"_qs, u"keys"_qs), QStringLiteral("true"));
}

// Without the online record the service refuses the update and answers "false".
void tst_TFormXTSZ::passwordNotChangedByTheService()
{
    TFormXTSZ form;
    form.show();
    form.Edit1->setText(u"demo"_qs);
    form.Edit2->setText(u"abc"_qs);
    form.Edit3->setText(u"abc"_qs);
    form.Button1Click();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("修改失败!"));
    QCOMPARE(m_boxes->last().caption, QStringLiteral("错误！"));
    QCOMPARE(m_boxes->last().icon, Icon::None);
    QCOMPARE(m_boxes->last().owner, &form);
    QVERIFY(form.isVisible());
    QCOMPARE(verify(u"demo"_qs, u"demo"_qs), QStringLiteral("true"));
}

void tst_TFormXTSZ::passwordWithServiceDown()
{
    holdOnlineRecord();
    QCOMPARE(m_service->stop(), 0);
    TFormXTSZ form;
    form.show();
    form.Edit1->setText(u"demo"_qs);
    form.Edit2->setText(u"abc"_qs);
    form.Edit3->setText(u"abc"_qs);
    form.Button1Click();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("修改失败，系统错误!"));
    QCOMPARE(m_boxes->last().caption, QStringLiteral("错误！"));
    QCOMPARE(m_boxes->last().icon, Icon::None);
    QVERIFY(form.isVisible());
}

bool tst_TFormXTSZ::changePassword(const QString &current, const QString &password)
{
    TFormXTSZ form;
    form.show();
    form.Edit1->setText(current);
    form.Edit2->setText(password);
    form.Edit3->setText(password);
    const int before = m_boxes->count();
    form.Button1Click();
    return m_boxes->count() == before + 1 && m_boxes->last().text == QStringLiteral("修改成功!");
}

// After a change the password in force is the new one: the next change is confirmed with it,
// the insider page's address carries it and a remembered password becomes it.
void tst_TFormXTSZ::secondChangeComparesWithThePasswordInForce_data()
{
    QTest::addColumn<QString>("rememberedUser");
    QTest::addColumn<QString>("rememberedAfter");
    QTest::newRow("this account remembered") << u"demo"_qs << u"n'ew 2"_qs;
    QTest::newRow("another account remembered") << u"vip"_qs << u"vip"_qs;
}

void tst_TFormXTSZ::secondChangeComparesWithThePasswordInForce()
{
    QFETCH(QString, rememberedUser);
    QFETCH(QString, rememberedAfter);
    holdOnlineRecord();
    RememberedCredentials::write(rememberedUser, rememberedUser);
    const auto previous = TFormXTSZ::setNewPasswordTaken(&SignedInAccount::takeNewPassword);

    QVERIFY(changePassword(u"demo"_qs, u"first"_qs));
    QVERIFY(!changePassword(u"demo"_qs, u"other"_qs)); // the sign-in's password is no longer in force
    QCOMPARE(m_boxes->last().text, QStringLiteral("原始密码输入错误!"));
    QVERIFY(changePassword(u"first"_qs, u"n'ew 2"_qs));
    TFormXTSZ::setNewPasswordTaken(previous);

    QCOMPARE(verify(u"demo"_qs, u"n'ew 2"_qs), QStringLiteral("true"));
    QCOMPARE(UnitGlouble.UserPassword, u"n'ew 2"_qs);
    QCOMPARE(UnitGlouble.UserPasswordUrl, u"n'ew+2"_qs);
    QCOMPARE(RememberedCredentials::read().userName, rememberedUser);
    QCOMPARE(RememberedCredentials::read().password, rememberedAfter);
    RememberedCredentials::remove();
}

void tst_TFormXTSZ::soundChooser_data()
{
    QTest::addColumn<QString>("chosen"); // relative to the program directory; "<in use>" for it
    QTest::addColumn<bool>("readOnly");  // the sound in use read-only beforehand
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("inUse"); // its content afterwards

    const QString ok = QStringLiteral("提示音修改成功!");
    const QString failed = QStringLiteral("提示音修改失败!");
    QTest::newRow("a sound from Mid") << u"Mid/bell.wav"_qs << false << ok << QByteArray("RIFF bell");
    QTest::newRow("read-only sound in use replaced")
        << u"Mid/ding-dong.wav"_qs << true << ok << QByteArray("RIFF ding-dong");
    QTest::newRow("the shipped sound") << u"miduseing.wav"_qs << false << ok << QByteArray("RIFF shipped");
    // Copying the sound in use onto itself would have emptied it.
    QTest::newRow("the sound in use itself") << u"<in use>"_qs << false << ok << QByteArray("RIFF shipped");
    QTest::newRow("the sound in use, read-only")
        << u"<in use>"_qs << true << ok << QByteArray("RIFF shipped");
    QTest::newRow("a link to the sound in use") << u"<link>"_qs << false << ok << QByteArray("RIFF shipped");
    // Nothing could be copied: reported as the failure it is, the old sound stays.
    QTest::newRow("a name that does not exist")
        << u"Mid/gone.wav"_qs << false << failed << QByteArray("RIFF shipped");
    QTest::newRow("a folder") << u"Mid"_qs << false << failed << QByteArray("RIFF shipped");
}

void tst_TFormXTSZ::soundChooser()
{
    QFETCH(QString, chosen);
    QFETCH(bool, readOnly);
    QFETCH(QString, message);
    QFETCH(QByteArray, inUse);
    const QString inUsePath = AlertSound::inUsePath();
    QString file = UnitGlouble.AppDir + chosen;
    if (chosen == u"<in use>"_qs) {
        file = inUsePath;
    } else if (chosen == u"<link>"_qs) {
        file = UnitGlouble.AppDir + u"Mid/link.wav"_qs;
        QVERIFY(QFile::link(inUsePath, file));
    }
    if (readOnly)
        QVERIFY(QFile::setPermissions(inUsePath, QFileDevice::ReadOwner));
    choose(file);

    QWidget mainWindow;
    TFormXTSZ form(&mainWindow);
    form.show();
    form.PageControl1->setCurrentWidget(form.TabSheet2);
    QTest::mouseClick(form.Button4, Qt::LeftButton);

    QCOMPARE(m_choices, 1);
    QCOMPARE(m_folder, UnitGlouble.AppDir + u"Mid/"_qs);
    QCOMPARE(m_filter, QStringLiteral("Skin files (*.WAV *.wav)"));
    QCOMPARE(m_chooserOwner, &form);
    QCOMPARE(m_boxes->count(), 1);
    const MessageBoxes::Request &box = m_boxes->last();
    QCOMPARE(box.text, message);
    QCOMPARE(box.caption, QStringLiteral("提示"));
    QCOMPARE(box.kind, Kind::System);
    QCOMPARE(box.owner, nullptr);
    QCOMPARE(box.icon, Icon::None);
    QVERIFY(!form.isVisible()); // the window closes after every choice
    QCOMPARE(contentOf(inUsePath), inUse);
    if (message == u"提示音修改成功!"_qs && file != inUsePath && chosen != u"<link>"_qs)
        QCOMPARE(QFile::permissions(inUsePath) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // The chosen file itself is left alone, and only the one sound in use is there.
    if (QFileInfo(file).isFile())
        QVERIFY(!contentOf(file).isEmpty());
    QCOMPARE(QDir(QFileInfo(inUsePath).path()).entryList(QDir::Files), QStringList{u"miduseing.wav"_qs});
}

void tst_TFormXTSZ::soundChooserCancelled()
{
    choose(QString());
    TFormXTSZ form;
    form.show();
    form.Button4Click();
    QCOMPARE(m_choices, 1);
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(!form.isVisible());
    QCOMPARE(contentOf(AlertSound::inUsePath()), QByteArray("RIFF shipped"));
}

// Where the sound in use cannot be written (here a folder stands in its way), the failure is
// reported, not a success.
void tst_TFormXTSZ::soundInUseCannotBeWritten()
{
    const QString inUsePath = AlertSound::inUsePath();
    QVERIFY(QFile::remove(inUsePath));
    QVERIFY(QDir().mkpath(inUsePath));
    choose(UnitGlouble.AppDir + u"Mid/bell.wav"_qs);
    TFormXTSZ form;
    form.show();
    form.Button4Click();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("提示音修改失败!"));
    QVERIFY(!form.isVisible());
    QVERIFY(QFileInfo(inUsePath).isDir());
    QVERIFY(QDir().rmdir(inUsePath));
}

void tst_TFormXTSZ::soundInUseNamedAndPlayed()
{
    {
        TFormXTSZ form;
        QCOMPARE(form.SoundInUseLabel->text(), QStringLiteral("当前提示音：默认提示音"));
        choose(UnitGlouble.AppDir + u"Mid/bell.wav"_qs);
        form.show();
        QTest::mouseClick(form.Button4, Qt::LeftButton);
        QCOMPARE(m_boxes->last().text, QStringLiteral("提示音修改成功!"));
    }
    TFormXTSZ form;
    form.show();
    form.PageControl1->setCurrentWidget(form.TabSheet2);
    QCOMPARE(form.SoundInUseLabel->text(), QStringLiteral("当前提示音：bell.wav"));
    QSignalSpy played(&AlertSound::instance(), &AlertSound::played);
    QTest::mouseClick(form.PlaySoundButton, Qt::LeftButton);
    QCOMPARE(played.count(), 1);
    QCOMPARE(played.first().first().toString(), AlertSound::inUsePath());
    QCOMPARE(contentOf(AlertSound::inUsePath()), QByteArray("RIFF bell"));
}

void tst_TFormXTSZ::aboutShowsVersionAndCopiesTheNumber()
{
    const QString previous = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
    TFormXTSZ form;
    form.show();
    QCOMPARE(form.VersionLabel->text(), QStringLiteral("版本：1.2.3"));
    QVERIFY(form.Label5->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(form.CopySupportButton, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("800012345"));
    QCoreApplication::setApplicationVersion(previous);
}

QTEST_MAIN(tst_TFormXTSZ)
#include "tst_TFormXTSZ.moc"
