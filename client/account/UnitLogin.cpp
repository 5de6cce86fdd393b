#include "UnitLogin.h"
#include "CertificateRefused.h"

#include "ClientStatements.h"
#include "DefaultErrorReport.h"
#include "MessageBoxes.h"
#include "OutsideText.h"
#include "PasswordKeychain.h"
#include "PublicIPAddress.h"
#include "RememberedCredentials.h"
#include "ReminderSettings.h"
#include "ResultDocument.h"
#include "ServiceClient.h"
#include "ServicePool.h"
#include "ShellOpen.h"
#include "SqlText.h"
#include "TextConversions.h"
#include "URLCodeChange.h"
#include "URLLabel.h"
#include "UnitGlouble.h"
#include "UnitZCCT.h"
#include "UserWait.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

#include <exception>

using TextConversions::trim;

// The artwork is compiled into this shared library, which registers it when it is loaded;
// asking for it by name as well keeps the window right however the library is linked.
static void registerArtwork()
{
    Q_INIT_RESOURCE(account);
}

namespace {

const QString ConfigurationMissing = QStringLiteral("系统错误，请在后台先维护系统配置信息！");
const QString ConfigurationUnreadable = QStringLiteral("系统错误，没有获取到系统配置信息！");
const QString SystemErrorCaption = QStringLiteral("系统错误！");
const QString LoginErrorCaption = QStringLiteral("登录错误！");

constexpr int WindowWidth = 510;
constexpr int HeightWithPrompt = 405;
constexpr int HeightWithoutPrompt = 315;

QLabel *whiteLabel(const QString &text, QWidget *parent, int x, int y)
{
    auto *label = new QLabel(text, parent);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(pal);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QToolButton *pictureButton(QWidget *parent, const QRect &geometry)
{
    auto *button = new QToolButton(parent);
    button->setGeometry(geometry);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    // The face of the login and close buttons is part of the background picture.
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"
                                         "QToolButton:pressed { background: rgba(0, 0, 0, 40); }"));
    return button;
}

} // namespace

TFrmLogin::TFrmLogin(QWidget *mainForm)
    : QDialog(nullptr), m_mainForm(mainForm), m_document(new ResultDocument)
{
    registerArtwork();
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    createComponents();
    FormCreate();
}

TFrmLogin::~TFrmLogin() = default;

void TFrmLogin::createComponents()
{
    setFixedSize(WindowWidth, HeightWithoutPrompt);
    // Below the picture (at 405 pixels) the window shows its own colour: the footer's navy.
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, QColor(0x04, 0x10, 0x1f));
    setPalette(windowPalette);
    setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, 510, 373);
    Image1->setPixmap(QPixmap(QStringLiteral(":/login/login-background.png")));
    Image1->installEventFilter(this);

    Label1 = whiteLabel(QStringLiteral("用户名："), this, 104, 160);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(166, 156, 143, 21);
    Label3 = whiteLabel(QStringLiteral("密    码："), this, 105, 192);
    Edit2 = new QLineEdit(this);
    Edit2->setGeometry(166, 184, 143, 21);
    Edit2->setEchoMode(QLineEdit::Password);
    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);

    CheckBox1 = new QCheckBox(this);
    CheckBox1->setGeometry(167, 217, 13, 13);
    Label2 = whiteLabel(QStringLiteral("记住用户名密码"), this, 187, 217);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->installEventFilter(this);

    placeLabels();

    URLLabel1 = new URLLabel(QStringLiteral("新用户注册"), this);
    URLLabel1->move(96, 270);
    URLLabel2 = new URLLabel(QStringLiteral("主   页"), this);
    URLLabel2->move(223, 270);
    URLLabel3 = new URLLabel(QStringLiteral("点击：QQ联系"), this);
    URLLabel3->move(321, 270);
    for (URLLabel *link : {URLLabel1, URLLabel2, URLLabel3})
        link->adjustSize();

    SpeedButton1 = pictureButton(this, QRect(354, 158, 71, 62));
    SpeedButton3 = pictureButton(this, QRect(469, 22, 27, 27));
    SpeedButton2 = pictureButton(this, QRect(392, 393, 69, 45));
    SpeedButton2->setIcon(QIcon(QStringLiteral(":/login/home-button.png")));
    SpeedButton2->setIconSize(QSize(69, 45));

    GroupBox1 = new QGroupBox(QStringLiteral("提示信息"), this);
    GroupBox1->setGeometry(4, 317, 500, 52);
    GroupBox1->setStyleSheet(
        QStringLiteral("QGroupBox { color: white; border: 1px solid rgba(255,255,255,120);"
                       " margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }"));
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setGeometry(4, 13, 491, 35);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: #0b2447; color: white; border: none; }"));

    // The push buttons lie below the visible area: they hold the actions, reached through the
    // picture buttons, the links and the keys. They take no focus: Tab visits only what the
    // user sees, and a key never lands on a button nobody can see.
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setGeometry(96, 514, 75, 25);
    Button2 = new QPushButton(QStringLiteral("关闭"), this);
    Button2->setGeometry(216, 514, 75, 25);
    Button3 = new QPushButton(QStringLiteral("用户注册"), this);
    Button3->setGeometry(336, 514, 75, 25);
    for (QPushButton *hidden : {Button1, Button2, Button3}) {
        hidden->setFocusPolicy(Qt::NoFocus);
        hidden->setAutoDefault(false);
    }

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, CheckBox1);
    setTabOrder(CheckBox1, Memo1);

    connect(Button1, &QPushButton::clicked, this, &TFrmLogin::Button1Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFrmLogin::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrmLogin::Button2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TFrmLogin::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TFrmLogin::Button3Click);
    connect(URLLabel1, &URLLabel::clicked, this, &TFrmLogin::Button3Click);
    connect(URLLabel2, &URLLabel::clicked, this, &TFrmLogin::URLLabel2Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TFrmLogin::SpeedButton2Click);
    m_componentsCreated = true;
}

// The captions size themselves from the font and end just before their boxes, so that a
// larger desktop font neither cuts them nor hides them under the boxes; the remember label
// stays centred on its check box.
void TFrmLogin::placeLabels()
{
    constexpr int Gap = 4;
    const std::pair<QLabel *, int> captions[] = {{Label1, 104}, {Label3, 105}};
    const QLineEdit *boxes[] = {Edit1, Edit2};
    for (int i = 0; i < 2; ++i) {
        QLabel *caption = captions[i].first;
        caption->adjustSize();
        caption->move(std::min(captions[i].second, boxes[i]->x() - Gap - caption->width()),
                      boxes[i]->y() + (boxes[i]->height() - caption->height()) / 2);
    }
    Label2->adjustSize();
    Label2->move(187, CheckBox1->y() + (CheckBox1->height() - Label2->height()) / 2);
}

void TFrmLogin::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange && m_componentsCreated) {
        placeLabels();
        for (URLLabel *link : {URLLabel1, URLLabel2, URLLabel3})
            link->adjustSize();
    }
}

void TFrmLogin::FormCreate()
{
    UnitGlouble.ChangeCounters.clear();
    try {
        m_document->load(UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable,
                                       [] { return ServiceClient::GetWebServiceSoap()->hqSys_pz(); }));
        if (m_document->rowCount() <= 0) {
            failConfiguration(ConfigurationMissing);
            return;
        }
        UnitGlouble.SystemName = trim(m_document->fieldText(0, QStringLiteral("gpsysname")));
        UnitGlouble.SystemNotice = trim(m_document->fieldText(0, QStringLiteral("syszjxx")));
        UnitGlouble.SupportQQ = trim(m_document->fieldText(0, QStringLiteral("kfqq")));
        UnitGlouble.UserTiering =
            TextConversions::toBool(trim(m_document->fieldText(0, QStringLiteral("yhqyhyfj"))));
        UnitGlouble.StayOnTop =
            TextConversions::toBool(trim(m_document->fieldText(0, QStringLiteral("ifctzqd"))));
        UnitGlouble.HomePageUrl = trim(m_document->fieldText(0, QStringLiteral("hqurl")));
        UnitGlouble.PollIntervalSeconds =
            TextConversions::toInt(trim(m_document->fieldText(0, QStringLiteral("khdsxsj"))));

        setWindowTitle(UnitGlouble.SystemName + QStringLiteral(" 登录窗体"));
        URLLabel3->setUrl(QStringLiteral("tencent://message/?uin=") + UnitGlouble.SupportQQ);

        OutsideText::showInView(Memo1, trim(m_document->fieldText(0, QStringLiteral("sytsxx"))));
        const bool hasPrompt = !trim(Memo1->toPlainText()).isEmpty();
        setFixedSize(WindowWidth, hasPrompt ? HeightWithPrompt : HeightWithoutPrompt);
        // Outside the shorter window the prompt is not there for Tab either.
        Memo1->setFocusPolicy(hasPrompt ? Qt::TabFocus : Qt::NoFocus);

        m_document->load(UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable, [] {
            return ServiceClient::GetWebServiceSoap()->hqsametable(ClientStatements::pageAddresses());
        }));
        if (m_document->rowCount() <= 0) {
            failConfiguration(ConfigurationMissing);
            return;
        }
        const auto field = [this](const char *name) {
            return trim(m_document->fieldText(0, QLatin1String(name)));
        };
        UnitGlouble.AlertPageTitle = field("yjglmc");
        UnitGlouble.InsiderPageTitle = field("smncmc");
        UnitGlouble.NewsTitle = field("xwzxmc");
        UnitGlouble.NewsUrl = field("xwzxurl");
        UnitGlouble.QuotesTitle = field("sshqmc");
        UnitGlouble.QuotesUrl = field("sshqurl");
        UnitGlouble.ValuationTitle = field("jzpgmc");
        UnitGlouble.ValuationUrl = field("jzpgurl");
        UnitGlouble.StockProfileTitle = field("ggdamc");
        UnitGlouble.StockProfileUrl = field("ggdaurl");
        UnitGlouble.MarketFundsTitle = field("dpzjmc");
        UnitGlouble.MarketFundsUrl = field("dpzjurl");
        UnitGlouble.ResearchTitle = field("yjbgmc");
        UnitGlouble.ResearchUrl = field("yjbgurl");
    } catch (const CertificateRefused &refused) {
        failConfiguration(refused.message());
    } catch (const std::exception &) {
        failConfiguration(ConfigurationUnreadable);
    }
}

void TFrmLogin::failConfiguration(const QString &message)
{
    // The window is not on screen yet, so the box has no owner of its own.
    MessageBoxes::application(message, SystemErrorCaption, MessageBoxes::Icon::Error);
    m_terminationRequested = true;
}

void TFrmLogin::showEvent(QShowEvent *event)
{
    if (!m_shown) {
        m_shown = true;
        const QRect area = centringArea();
        if (area.isValid())
            move(area.center() - QPoint(width() / 2, height() / 2));
        FormShow();
    }
    QDialog::showEvent(event);
}

QRect TFrmLogin::centringArea() const
{
    if (m_mainForm)
        return m_mainForm->frameGeometry();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return screen->availableGeometry();
    return QRect();
}

void TFrmLogin::FormShow()
{
    const RememberedCredentials::Contents remembered = RememberedCredentials::read();
    if (remembered.exists) {
        Edit1->setText(remembered.userName);
        Edit2->setText(remembered.password);
        CheckBox1->setChecked(true);
        if (remembered.password.isEmpty() && !remembered.userName.isEmpty())
            fillPasswordFromKeychain(remembered.userName);
    } else {
        Edit1->clear();
        Edit2->clear();
        CheckBox1->setChecked(false);
    }
    // The typing starts where something is missing; with both remembered, Enter signs in.
    (Edit1->text().isEmpty() ? Edit1 : Edit2)->setFocus();
}

void TFrmLogin::Button1Click()
{
    // The sign-in waits in a local event loop: a second Enter or click meanwhile is not a
    // second sign-in.
    if (UserWait::isWaiting())
        return;
    DefaultErrorReport::runHandler([this] {
        try {
            signIn();
        } catch (const UserWait::Cancelled &) {
            if (!m_closing) // closing the window ended the wait: nothing to report
                throw;
        }
    });
}

void TFrmLogin::signIn()
{
    const QString name = trim(Edit1->text());
    const QString password = trim(Edit2->text());
    if (name.isEmpty() || password.isEmpty()) {
        MessageBoxes::application(QStringLiteral("请输入用户名或密码！"), LoginErrorCaption,
                                  MessageBoxes::Icon::Error, MessageBoxes::Buttons::Ok, this);
        selectForCorrection(name.isEmpty() ? Edit1 : Edit2);
        return;
    }

    // A failing check (service down, an answer that is no boolean) goes to the default report.
    const QString verdict = UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable, [&] {
        return ServiceClient::GetWebServiceSoap()->yanzheng(name, password);
    });
    if (!TextConversions::toBool(verdict)) {
        MessageBoxes::application(QStringLiteral("用户名不存在或密码错误！"), LoginErrorCaption,
                                  MessageBoxes::Icon::Error, MessageBoxes::Buttons::Ok, this);
        selectForCorrection(Edit2);
        return;
    }

    try {
        m_document->load(UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable, [&] {
            return ServiceClient::GetWebServiceSoap()->hqdlyhxx(name, password);
        }));
        UnitGlouble.UserId = trim(m_document->fieldText(0, QStringLiteral("id")));
        UnitGlouble.UserName = trim(m_document->fieldText(0, QStringLiteral("username")));
        UnitGlouble.UserPassword = trim(m_document->fieldText(0, QStringLiteral("userpas")));
        UnitGlouble.UserNameUrl = UrlEncode(UnitGlouble.UserName.toUtf8(), true);
        UnitGlouble.UserPasswordUrl = UrlEncode(UnitGlouble.UserPassword.toUtf8(), true);
        UnitGlouble.ExpiryDate =
            TextConversions::dateCut(trim(m_document->fieldText(0, QStringLiteral("reachtime"))));
        UnitGlouble.UserLevel = QStringLiteral("3");
        UnitGlouble.UserLevel = trim(m_document->fieldText(0, QStringLiteral("UserDJ")));
    } catch (const std::exception &error) {
        const auto *refused = dynamic_cast<const CertificateRefused *>(&error);
        MessageBoxes::application(refused ? refused->message() : ConfigurationUnreadable, SystemErrorCaption,
                                  MessageBoxes::Icon::Error, MessageBoxes::Buttons::Ok, this);
        done(mrCancel);
        return;
    }

    // From here on a failure reaches the default error report and the window stays open.
    // The id is placed bare, so it must be a number; every quoted value has its apostrophes
    // doubled so that it is stored as typed and cannot change the statement.
    const QString userId = SqlText::integer(trim(UnitGlouble.UserId));
    const bool hasOnlineRow =
        UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable, [&] {
            return ServiceClient::GetWebServiceSoap()->hqsfczjl(ClientStatements::onlineRecordCount(userId));
        }) > 0;
    const QString address = UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable,
                                          [] { return GetPublicIPAddress(); });
    const ClientStatements::OnlineRecord record{userId, trim(UnitGlouble.UserName),
                                                trim(UnitGlouble.UserPassword), trim(UnitGlouble.ExpiryDate),
                                                trim(address)};
    UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable, [&] {
        ServiceClient::GetWebServiceSoap()->zhixing(hasOnlineRow
                                                        ? ClientStatements::onlineRecordUpdate(record)
                                                        : ClientStatements::onlineRecordInsert(record));
    });

    UnitGlouble.LoginStamp = UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable, [&] {
        return ServiceClient::GetWebServiceSoap()->hqdlsj(userId);
    });
    JLYHXX();
    done(mrOk);
}

// The keychain answers later; the box is filled then, unless the user has typed meanwhile.
void TFrmLogin::fillPasswordFromKeychain(const QString &userName)
{
    if (!PasswordKeychain::isAvailable())
        return;
    QPointer<TFrmLogin> window(this);
    PasswordKeychain::read(userName, [window, userName](std::optional<QString> password) {
        if (window && password && trim(window->Edit1->text()) == userName && window->Edit2->text().isEmpty())
            window->Edit2->setText(*password);
    });
}

void TFrmLogin::JLYHXX()
{
    const bool useKeychain =
        ReminderSettings::instance().passwordInKeychain() && PasswordKeychain::isAvailable();
    const QString previousName = RememberedCredentials::read().userName;
    if (CheckBox1->isChecked() && useKeychain) {
        rememberInKeychain(trim(Edit1->text()), trim(Edit2->text()));
    } else if (CheckBox1->isChecked()) {
        RememberedCredentials::write(Edit1->text(), Edit2->text());
    } else {
        RememberedCredentials::remove();
    }
    // A password the keychain holds for a name no longer remembered there is not left behind.
    if (PasswordKeychain::isAvailable() && !previousName.isEmpty() &&
        !(CheckBox1->isChecked() && useKeychain && previousName == trim(Edit1->text())))
        PasswordKeychain::remove(previousName);
}

// The file keeps the name and an empty password line; should the keychain refuse the
// password, the file takes it as it would without a keychain.
void TFrmLogin::rememberInKeychain(const QString &userName, const QString &password)
{
    RememberedCredentials::write(userName, QString());
    PasswordKeychain::write(userName, password, [userName, password](bool ok, const QString &) {
        if (ok)
            return;
        try {
            RememberedCredentials::write(userName, password);
        } catch (const std::exception &) {
            // Nothing to report to: the login window is long gone. The next start asks again.
        }
    });
}

void TFrmLogin::Button2Click()
{
    if (MessageBoxes::application(QStringLiteral("是否关闭本系统？"), QStringLiteral("提示"),
                                  MessageBoxes::Icon::Information, MessageBoxes::Buttons::OkCancel,
                                  this) != MessageBoxes::Answer::Ok)
        return;
    UnitGlouble.UserLevel = QStringLiteral("3");
    m_closing = true;
    UserWait::cancelAll(); // a sign-in still waiting ends quietly
    done(mrCancel);
}

void TFrmLogin::Button3Click()
{
    DefaultErrorReport::runHandler([this] {
        TFormZCCT signUp(this);
        const QRect area = centringArea();
        if (area.isValid())
            signUp.move(area.center() - QPoint(signUp.width() / 2, signUp.height() / 2));
        signUp.exec();
    });
}

void TFrmLogin::URLLabel2Click()
{
    openHomePage();
}

void TFrmLogin::SpeedButton2Click()
{
    openHomePage();
}

void TFrmLogin::openHomePage()
{
    const QString url = trim(UnitGlouble.HomePageUrl);
    if (!url.isEmpty())
        ShellOpen::open(url);
}

void TFrmLogin::Label2Click()
{
    CheckBox1->setChecked(!CheckBox1->isChecked());
}

// After a refused sign-in the field to fix has the focus with its text selected: what the user
// types next replaces it, instead of going to a button and sending the same sign-in again.
void TFrmLogin::selectForCorrection(QLineEdit *field)
{
    field->setFocus();
    field->selectAll();
}

bool TFrmLogin::Edit1KeyPress(QChar key)
{
    if (key != QChar(13))
        return false;
    // With both fields filled (remembered, or typed in any order) one Enter signs in.
    if (!trim(Edit1->text()).isEmpty() && !trim(Edit2->text()).isEmpty())
        Button1Click();
    else
        Edit2->setFocus();
    return true;
}

bool TFrmLogin::Edit2KeyPress(QChar key)
{
    if (key != QChar(13))
        return false;
    // "确定" lies outside the window and takes no focus: Enter here signs in.
    Button1Click();
    return true;
}

void TFrmLogin::Image1MouseMove()
{
    // The platform moves the window with the mouse for as long as the left button is held.
    if (QWindow *window = windowHandle())
        window->startSystemMove();
}

bool TFrmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Edit1 || watched == Edit2) && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Return and the keypad's Enter both arrive as character 13.
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const QChar typed = enter ? QChar(13) : (key->text().isEmpty() ? QChar() : key->text().at(0));
        // Consumed here: a line edit would otherwise hand Enter on to the dialog's default button.
        return watched == Edit1 ? Edit1KeyPress(typed) : Edit2KeyPress(typed);
    }
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Label2Click();
        return true;
    }
    if (watched == Image1 && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Image1MouseMove();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmLogin::keyPressEvent(QKeyEvent *event)
{
    // The window has no cancel button: Escape does not close it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFrmLogin::reject()
{
    done(mrCancel);
}
