#include "UnitXTSZ.h"

#include "AlertSoundReplacement.h"
#include "Autostart.h"
#include "ClientStatements.h"
#include "MessageBoxes.h"
#include "PasswordKeychain.h"
#include "ReminderSettings.h"
#include "ServiceClient.h"
#include "ServicePool.h"
#include "TextConversions.h"
#include "UnitGlouble.h"
#include "UserWait.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>

using TextConversions::trim;

namespace {

const QString SoundFilter = QStringLiteral("Skin files (*.WAV *.wav)");
const QString ErrorCaption = QStringLiteral("错误！");

TFormXTSZ::FileChooser &fileChooser()
{
    static TFormXTSZ::FileChooser chooser;
    return chooser;
}

TFormXTSZ::NewPasswordTaken &newPasswordTaken()
{
    static TFormXTSZ::NewPasswordTaken taken;
    return taken;
}

QString chooseFile(QWidget *owner, const QString &folder, const QString &filter)
{
    if (fileChooser())
        return fileChooser()(owner, folder, filter);
    return QFileDialog::getOpenFileName(owner, QString(), folder, filter);
}

// The named face where the system has it, else the closest Chinese one.
QFont chineseFont(const QString &family, int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({family, QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel *label(const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *created = new QLabel(text, parent);
    created->setGeometry(geometry);
    return created;
}

QLineEdit *edit(QWidget *parent, const QRect &geometry, QLineEdit::EchoMode echo)
{
    auto *created = new QLineEdit(parent);
    created->setGeometry(geometry);
    created->setEchoMode(echo);
    return created;
}

QPushButton *button(const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *created = new QPushButton(text, parent);
    created->setGeometry(geometry);
    created->setAutoDefault(false);
    return created;
}

} // namespace

TFormXTSZ::FileChooser TFormXTSZ::setFileChooser(FileChooser chooser)
{
    FileChooser previous = std::move(fileChooser());
    fileChooser() = std::move(chooser);
    return previous;
}

TFormXTSZ::NewPasswordTaken TFormXTSZ::setNewPasswordTaken(NewPasswordTaken taken)
{
    NewPasswordTaken previous = std::move(newPasswordTaken());
    newPasswordTaken() = std::move(taken);
    return previous;
}

TFormXTSZ::TFormXTSZ(QWidget *owner) : QDialog(owner)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("系统设置"));
    setFixedSize(558, 416);

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(rect());
    PageControl1->setTabShape(QTabWidget::Rounded);
    PageControl1->setStyleSheet(QStringLiteral("QTabBar::tab { height: 19px; }"));
    buildPasswordPage();
    buildSoundPage();
    buildAboutPage();
    buildReminderPage();
    PageControl1->setCurrentWidget(TabSheet4);

    FormCreate();
}

void TFormXTSZ::buildPasswordPage()
{
    TabSheet1 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("修改密码"));
    Label1 = label(QStringLiteral("原始密码："), TabSheet1, QRect(153, 75, 73, 13));
    // Masked like the other two: a password on the screen is a password anyone nearby reads.
    Edit1 = edit(TabSheet1, QRect(233, 70, 158, 21), QLineEdit::Password);
    Label2 = label(QStringLiteral("修改密码："), TabSheet1, QRect(152, 123, 73, 13));
    Edit2 = edit(TabSheet1, QRect(233, 117, 158, 21), QLineEdit::Password);
    Label3 = label(QStringLiteral("确认密码："), TabSheet1, QRect(152, 176, 73, 13));
    Edit3 = edit(TabSheet1, QRect(233, 169, 158, 21), QLineEdit::Password);
    Button1 = button(QStringLiteral("确认修改"), TabSheet1, QRect(145, 267, 91, 25));
    Button2 = button(QStringLiteral("关闭窗体"), TabSheet1, QRect(304, 267, 91, 25));

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Button1);
    setTabOrder(Button1, Button2);
    connect(Button1, &QPushButton::clicked, this, &TFormXTSZ::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormXTSZ::Button2Click);
    // Enter goes on to the next box and, in the last one, makes the change. Enter in an earlier
    // box must not send it: two empty boxes would set an empty password.
    connect(Edit1, &QLineEdit::returnPressed, Edit2, qOverload<>(&QWidget::setFocus));
    connect(Edit2, &QLineEdit::returnPressed, Edit3, qOverload<>(&QWidget::setFocus));
    connect(Edit3, &QLineEdit::returnPressed, this, &TFormXTSZ::Button1Click);
}

void TFormXTSZ::buildSoundPage()
{
    TabSheet2 = new QWidget;
    PageControl1->addTab(TabSheet2, QStringLiteral("修改提示音"));
    Button4 = button(QStringLiteral("修改提示音"), TabSheet2, QRect(129, 59, 136, 25));
    Button3 = button(QStringLiteral("关闭窗体"), TabSheet2, QRect(320, 59, 91, 25));
    connect(Button4, &QPushButton::clicked, this, &TFormXTSZ::Button4Click);
    connect(Button3, &QPushButton::clicked, this, &TFormXTSZ::Button2Click);
}

void TFormXTSZ::buildAboutPage()
{
    TabSheet4 = new QWidget;
    PageControl1->addTab(TabSheet4, QStringLiteral("关于软件"));
    // Across the full width of the page, under two empty strips 13 and 40 pixels high.
    Label8 = new QLabel(TabSheet4);
    Label8->setFixedHeight(40);
    Label8->setAlignment(Qt::AlignCenter);
    auto *column = new QVBoxLayout(TabSheet4);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addSpacing(13);
    column->addSpacing(40);
    column->addWidget(Label8);
    column->addStretch(1);
    Label8->setFont(chineseFont(QStringLiteral("宋体"), 29, true));

    Label4 = label(QStringLiteral("客服QQ："), TabSheet4, QRect(194, 164, 65, 21));
    Label4->setFont(chineseFont(QStringLiteral("宋体-PUA"), 16, true));
    Label5 = label(QString(), TabSheet4, QRect(271, 162, 110, 23));
    Label5->setFont(Label4->font());
    QPalette red = Label5->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label5->setPalette(red);
    // Both come from the service: never read as rich text.
    Label8->setTextFormat(Qt::PlainText);
    Label5->setTextFormat(Qt::PlainText);

    Button7 = button(QStringLiteral("关闭窗体"), TabSheet4, QRect(224, 260, 105, 25));
    connect(Button7, &QPushButton::clicked, this, &TFormXTSZ::Button7Click);
}

void TFormXTSZ::buildReminderPage()
{
    TabSheet5 = new QWidget;
    PageControl1->addTab(TabSheet5, QStringLiteral("提醒设置"));
    MuteCheckBox = new QCheckBox(QStringLiteral("静音"), TabSheet5);
    MuteCheckBox->setObjectName(QStringLiteral("MuteCheckBox"));
    MuteCheckBox->setGeometry(129, 40, 300, 21);
    ToastsRadio = new QRadioButton(QStringLiteral("弹出提示窗口"), TabSheet5);
    ToastsRadio->setObjectName(QStringLiteral("ToastsRadio"));
    ToastsRadio->setGeometry(129, 80, 300, 21);
    DesktopNotificationsRadio = new QRadioButton(QStringLiteral("使用桌面系统的通知"), TabSheet5);
    DesktopNotificationsRadio->setObjectName(QStringLiteral("DesktopNotificationsRadio"));
    DesktopNotificationsRadio->setGeometry(129, 108, 300, 21);
    auto *presentation = new QButtonGroup(TabSheet5);
    presentation->addButton(ToastsRadio);
    presentation->addButton(DesktopNotificationsRadio);
    AutostartCheckBox = new QCheckBox(QStringLiteral("登录桌面时自动启动本软件"), TabSheet5);
    AutostartCheckBox->setObjectName(QStringLiteral("AutostartCheckBox"));
    AutostartCheckBox->setGeometry(129, 148, 300, 21);
    KeychainCheckBox = new QCheckBox(QStringLiteral("记住的密码保存在桌面钥匙串中"), TabSheet5);
    KeychainCheckBox->setObjectName(QStringLiteral("KeychainCheckBox"));
    KeychainCheckBox->setGeometry(129, 188, 300, 21);
    KeychainMissingLabel = label(QStringLiteral("（本机没有桌面钥匙串服务，密码仍保存在本机文件中）"),
                                 TabSheet5, QRect(147, 212, 360, 17));
    KeychainMissingLabel->setVisible(!PasswordKeychain::isAvailable());
    Button8 = button(QStringLiteral("关闭窗体"), TabSheet5, QRect(224, 260, 105, 25));

    showReminderSettings();
    ReminderSettings &settings = ReminderSettings::instance();
    connect(MuteCheckBox, &QCheckBox::toggled, this, [&settings](bool muted) { settings.setMuted(muted); });
    connect(DesktopNotificationsRadio, &QRadioButton::toggled, this, [&settings](bool desktop) {
        settings.setPresentation(desktop ? ReminderSettings::Presentation::DesktopNotifications
                                         : ReminderSettings::Presentation::Toasts);
    });
    connect(KeychainCheckBox, &QCheckBox::toggled, this,
            [&settings](bool inKeychain) { settings.setPasswordInKeychain(inKeychain); });
    connect(AutostartCheckBox, &QCheckBox::toggled, this, &TFormXTSZ::setAutostart);
    // The tray's "静音" may change while this window is open.
    connect(&settings, &ReminderSettings::changed, this, &TFormXTSZ::showReminderSettings);
    connect(Button8, &QPushButton::clicked, this, &TFormXTSZ::Button2Click);
}

void TFormXTSZ::showReminderSettings()
{
    const ReminderSettings &settings = ReminderSettings::instance();
    const QSignalBlocker blockMute(MuteCheckBox);
    const QSignalBlocker blockToasts(ToastsRadio);
    const QSignalBlocker blockDesktop(DesktopNotificationsRadio);
    const QSignalBlocker blockAutostart(AutostartCheckBox);
    const QSignalBlocker blockKeychain(KeychainCheckBox);
    MuteCheckBox->setChecked(settings.muted());
    const bool desktop = settings.presentation() == ReminderSettings::Presentation::DesktopNotifications;
    DesktopNotificationsRadio->setChecked(desktop);
    ToastsRadio->setChecked(!desktop);
    AutostartCheckBox->setChecked(Autostart::isEnabled());
    KeychainCheckBox->setChecked(settings.passwordInKeychain());
}

void TFormXTSZ::setAutostart(bool enabled)
{
    QString error;
    if (Autostart::setEnabled(enabled, &error))
        return;
    const QSignalBlocker block(AutostartCheckBox);
    AutostartCheckBox->setChecked(Autostart::isEnabled());
    MessageBoxes::application(QStringLiteral("自动启动设置失败：") + error, ErrorCaption,
                              MessageBoxes::Icon::Error, MessageBoxes::Buttons::Ok, this);
}

void TFormXTSZ::FormCreate()
{
    Label5->setText(UnitGlouble.SupportQQ);
    Label8->setText(UnitGlouble.SystemName);
}

void TFormXTSZ::Button2Click()
{
    close();
}

void TFormXTSZ::Button7Click()
{
    close();
}

void TFormXTSZ::Button4Click()
{
    bool replaced = false;
    bool chosen = false;
    try {
        const QString file = chooseFile(this, UnitGlouble.AppDir + QStringLiteral("Mid/"), SoundFilter);
        chosen = !file.isEmpty();
        replaced =
            chosen && AlertSoundReplacement::replaceInUse(file) != AlertSoundReplacement::Result::Failed;
    } catch (const std::exception &) {
        chosen = true;
    }
    if (chosen)
        MessageBoxes::system(replaced ? QStringLiteral("提示音修改成功!") : QStringLiteral("提示音修改失败!"),
                             QStringLiteral("提示"));
    close();
}

void TFormXTSZ::Button1Click()
{
    if (UserWait::isWaiting()) // the change already waits for the service
        return;
    const QString password = trim(Edit2->text());
    if (password != trim(Edit3->text())) {
        showPasswordMessage(QStringLiteral("修改密码输入不一致!"), ErrorCaption, true);
        return;
    }
    if (trim(Edit1->text()) != trim(UnitGlouble.UserPassword)) {
        showPasswordMessage(QStringLiteral("原始密码输入错误!"), ErrorCaption, true);
        return;
    }
    QString answer;
    try {
        answer = sendNewPassword(password);
    } catch (const std::exception &) {
        showPasswordMessage(QStringLiteral("修改失败，系统错误!"), ErrorCaption, false);
        return;
    }
    if (answer != QLatin1String("true")) {
        showPasswordMessage(QStringLiteral("修改失败!"), ErrorCaption, false);
        return;
    }
    // The password in force is the new one from now on: a second change is confirmed with
    // it, not with the one the sign-in gave (which the service no longer takes).
    UnitGlouble.UserPassword = password;
    if (newPasswordTaken())
        newPasswordTaken()(password);
    showPasswordMessage(QStringLiteral("修改成功!"), QStringLiteral("提示！"), false);
    close();
}

QString TFormXTSZ::sendNewPassword(const QString &password)
{
    const QString statement = ClientStatements::passwordChange(trim(UnitGlouble.UserId), password);
    return trim(UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable, [&statement] {
        return ServiceClient::GetWebServiceSoap()->zhixing(statement);
    }));
}

void TFormXTSZ::showPasswordMessage(const QString &text, const QString &caption, bool errorIcon)
{
    MessageBoxes::application(text, caption, errorIcon ? MessageBoxes::Icon::Error : MessageBoxes::Icon::None,
                              MessageBoxes::Buttons::Ok, this);
}
