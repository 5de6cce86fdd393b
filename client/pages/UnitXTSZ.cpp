#include "UnitXTSZ.h"

#include "AlertSound.h"
#include "AlertSoundReplacement.h"
#include "Autostart.h"
#include "ClientStatements.h"
#include "DesktopNotifications.h"
#include "MessageBoxes.h"
#include "OutsideText.h"
#include "PasswordKeychain.h"
#include "ServiceClient.h"
#include "ServicePool.h"
#include "TextConversions.h"
#include "UnitGlouble.h"
#include "UserWait.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <exception>
#include <memory>
#include <vector>

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

    SoundInUseLabel = label(QString(), TabSheet2, QRect(129, 110, 290, 21));
    SoundInUseLabel->setTextFormat(Qt::PlainText);
    PlaySoundButton = button(QStringLiteral("试听"), TabSheet2, QRect(320, 108, 91, 25));
    connect(PlaySoundButton, &QPushButton::clicked, this, [] { AlertSound::instance().play(); });
    showSoundInUse();
}

// The name of the file the user chose (a file name from the disk: plain and bounded).
void TFormXTSZ::showSoundInUse()
{
    const QString name = ReminderSettings::instance().sharedSoundName();
    SoundInUseLabel->setText(QStringLiteral("当前提示音：") +
                             (name.isEmpty() ? QStringLiteral("默认提示音") : OutsideText::cut(name, 60)));
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

    // The number is there to be copied into the messenger: selectable, and a button for it.
    Label5->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    CopySupportButton = button(QStringLiteral("复制"), TabSheet4, QRect(385, 161, 60, 25));
    connect(CopySupportButton, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(Label5->text()); });
    VersionLabel = label(QStringLiteral("版本：") + QCoreApplication::applicationVersion(), TabSheet4,
                         QRect(0, 210, 558, 21));
    VersionLabel->setAlignment(Qt::AlignHCenter);

    Button7 = button(QStringLiteral("关闭窗体"), TabSheet4, QRect(224, 260, 105, 25));
    connect(Button7, &QPushButton::clicked, this, &TFormXTSZ::Button7Click);
}

// Too much for the page at a large font: it scrolls rather than cuts.
void TFormXTSZ::buildReminderPage()
{
    TabSheet5 = new QWidget;
    PageControl1->addTab(TabSheet5, QStringLiteral("提醒设置"));
    auto *scroll = new QScrollArea(TabSheet5);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *content = new QWidget;
    scroll->setWidget(content);
    auto *outer = new QVBoxLayout(TabSheet5);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(12, 6, 12, 6);
    column->setSpacing(4);
    column->addWidget(buildPresentationRows());
    column->addWidget(buildStreamGroup());
    column->addWidget(buildQuietGroup());
    AutostartCheckBox = new QCheckBox(QStringLiteral("登录桌面时自动启动本软件"), content);
    AutostartCheckBox->setObjectName(QStringLiteral("AutostartCheckBox"));
    KeychainCheckBox = new QCheckBox(QStringLiteral("记住的密码保存在桌面钥匙串中"), content);
    KeychainCheckBox->setObjectName(QStringLiteral("KeychainCheckBox"));
    KeychainMissingLabel =
        new QLabel(QStringLiteral("（本机没有桌面钥匙串服务，密码仍保存在本机文件中）"), content);
    KeychainMissingLabel->setVisible(!PasswordKeychain::isAvailable());
    column->addWidget(AutostartCheckBox);
    column->addWidget(KeychainCheckBox);
    column->addWidget(KeychainMissingLabel);
    Button8 = new QPushButton(QStringLiteral("关闭窗体"), content);
    Button8->setAutoDefault(false);
    column->addWidget(Button8, 0, Qt::AlignHCenter);
    column->addStretch(1);

    showReminderSettings();
    connectReminderControls();
}

QWidget *TFormXTSZ::buildPresentationRows()
{
    auto *rows = new QWidget;
    auto *grid = new QGridLayout(rows);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    MuteCheckBox = new QCheckBox(QStringLiteral("静音"), rows);
    MuteCheckBox->setObjectName(QStringLiteral("MuteCheckBox"));
    StaysUntilClickedCheckBox = new QCheckBox(QStringLiteral("提示窗口一直显示，直到点击它"), rows);
    StaysUntilClickedCheckBox->setObjectName(QStringLiteral("StaysUntilClickedCheckBox"));
    ToastsRadio = new QRadioButton(QStringLiteral("弹出提示窗口"), rows);
    ToastsRadio->setObjectName(QStringLiteral("ToastsRadio"));
    DesktopNotificationsRadio = new QRadioButton(QStringLiteral("使用桌面系统的通知"), rows);
    DesktopNotificationsRadio->setObjectName(QStringLiteral("DesktopNotificationsRadio"));
    auto *presentation = new QButtonGroup(rows);
    presentation->addButton(ToastsRadio);
    presentation->addButton(DesktopNotificationsRadio);
    // Without a notification service the choice would do nothing: it is offered only where it
    // works, and the page says why it is not.
    const bool desktopHasNotifications = DesktopNotifications().isAvailable();
    DesktopNotificationsRadio->setEnabled(desktopHasNotifications);
    DesktopNotificationsMissingLabel = new QLabel(QStringLiteral("（本机没有桌面通知服务）"), rows);
    DesktopNotificationsMissingLabel->setVisible(!desktopHasNotifications);
    grid->addWidget(MuteCheckBox, 0, 0);
    grid->addWidget(StaysUntilClickedCheckBox, 0, 1, 1, 2);
    grid->addWidget(ToastsRadio, 1, 0);
    grid->addWidget(DesktopNotificationsRadio, 1, 1);
    grid->addWidget(DesktopNotificationsMissingLabel, 1, 2);
    grid->setColumnStretch(2, 1);
    return rows;
}

QGroupBox *TFormXTSZ::buildStreamGroup()
{
    auto *group = new QGroupBox(QStringLiteral("各类提醒"));
    auto *grid = new QGridLayout(group);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setVerticalSpacing(1);
    const QStringList headers{QString(), QStringLiteral("声音"),    QStringLiteral("提示音"), QString(),
                              QString(), QStringLiteral("弹出提示")};
    for (int column = 0; column < headers.size(); ++column)
        grid->addWidget(new QLabel(headers.at(column), group), 0, column);
    const QList<ReminderSettings::Stream> streams = ReminderSettings::streams();
    for (int row = 0; row < streams.size(); ++row) {
        const ReminderSettings::Stream stream = streams.at(row);
        StreamControls &controls = StreamRows[size_t(row)];
        controls.sound = new QCheckBox(group);
        controls.soundName = new QLabel(group);
        controls.soundName->setTextFormat(Qt::PlainText);
        controls.soundName->setMinimumWidth(110);
        controls.chooseSound = new QPushButton(QStringLiteral("选择…"), group);
        controls.sharedSound = new QPushButton(QStringLiteral("默认"), group);
        controls.toast = new QCheckBox(group);
        for (QPushButton *small : {controls.chooseSound, controls.sharedSound})
            small->setAutoDefault(false);
        const QString name = ReminderSettings::streamName(stream);
        controls.sound->setAccessibleName(name + QStringLiteral("声音"));
        controls.toast->setAccessibleName(name + QStringLiteral("弹出提示"));
        grid->addWidget(new QLabel(name, group), row + 1, 0);
        grid->addWidget(controls.sound, row + 1, 1);
        grid->addWidget(controls.soundName, row + 1, 2);
        grid->addWidget(controls.chooseSound, row + 1, 3);
        grid->addWidget(controls.sharedSound, row + 1, 4);
        grid->addWidget(controls.toast, row + 1, 5, Qt::AlignHCenter);
    }
    grid->setColumnStretch(2, 1);
    return group;
}

QGroupBox *TFormXTSZ::buildQuietGroup()
{
    auto *group = new QGroupBox(QStringLiteral("免打扰"));
    auto *grid = new QGridLayout(group);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setVerticalSpacing(2);
    QuietHoursCheckBox = new QCheckBox(QStringLiteral("免打扰时段，从"), group);
    QuietHoursCheckBox->setObjectName(QStringLiteral("QuietHoursCheckBox"));
    QuietFromEdit = new QTimeEdit(group);
    QuietToEdit = new QTimeEdit(group);
    for (QTimeEdit *edit : {QuietFromEdit, QuietToEdit})
        edit->setDisplayFormat(QStringLiteral("HH:mm"));
    auto *hint = new QLabel(QStringLiteral("（期间的提醒不响也不弹出，结束时一并告知）"), group);
    TradingSessionsCheckBox = new QCheckBox(QStringLiteral("只在交易时段提醒"), group);
    TradingSessionsCheckBox->setObjectName(QStringLiteral("TradingSessionsCheckBox"));
    auto *sessions = new QLabel(QStringLiteral("（北京时间 周一至周五 9:15–11:30、13:00–15:00）"), group);
    grid->addWidget(QuietHoursCheckBox, 0, 0);
    grid->addWidget(QuietFromEdit, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("到"), group), 0, 2);
    grid->addWidget(QuietToEdit, 0, 3);
    grid->addWidget(hint, 1, 0, 1, 5);
    grid->addWidget(TradingSessionsCheckBox, 2, 0);
    grid->addWidget(sessions, 2, 1, 1, 4);
    grid->setColumnStretch(4, 1);
    return group;
}

void TFormXTSZ::connectReminderControls()
{
    ReminderSettings &settings = ReminderSettings::instance();
    connect(MuteCheckBox, &QCheckBox::toggled, this, [&settings](bool muted) { settings.setMuted(muted); });
    connect(DesktopNotificationsRadio, &QRadioButton::toggled, this, [&settings](bool desktop) {
        settings.setPresentation(desktop ? ReminderSettings::Presentation::DesktopNotifications
                                         : ReminderSettings::Presentation::Toasts);
    });
    connect(StaysUntilClickedCheckBox, &QCheckBox::toggled, this,
            [&settings](bool stay) { settings.setToastsStayUntilClicked(stay); });
    const QList<ReminderSettings::Stream> streams = ReminderSettings::streams();
    for (int row = 0; row < streams.size(); ++row) {
        const ReminderSettings::Stream stream = streams.at(row);
        const StreamControls &controls = StreamRows[size_t(row)];
        connect(controls.sound, &QCheckBox::toggled, this,
                [&settings, stream](bool on) { settings.setSoundOn(stream, on); });
        connect(controls.toast, &QCheckBox::toggled, this,
                [&settings, stream](bool on) { settings.setToastOn(stream, on); });
        connect(controls.chooseSound, &QPushButton::clicked, this,
                [this, stream] { chooseStreamSound(stream); });
        connect(controls.sharedSound, &QPushButton::clicked, this,
                [this, stream] { useSharedSound(stream); });
    }
    connect(QuietHoursCheckBox, &QCheckBox::toggled, this, [this, &settings](bool on) {
        storeQuietHours();
        settings.setQuietHoursOn(on);
    });
    connect(QuietFromEdit, &QTimeEdit::timeChanged, this, &TFormXTSZ::storeQuietHours);
    connect(QuietToEdit, &QTimeEdit::timeChanged, this, &TFormXTSZ::storeQuietHours);
    connect(TradingSessionsCheckBox, &QCheckBox::toggled, this,
            [&settings](bool on) { settings.setTradingSessionsOnly(on); });
    connect(KeychainCheckBox, &QCheckBox::toggled, this,
            [&settings](bool inKeychain) { settings.setPasswordInKeychain(inKeychain); });
    connect(AutostartCheckBox, &QCheckBox::toggled, this, &TFormXTSZ::setAutostart);
    // The tray's "静音" may change while this window is open.
    connect(&settings, &ReminderSettings::changed, this, &TFormXTSZ::showReminderSettings);
    connect(Button8, &QPushButton::clicked, this, &TFormXTSZ::Button2Click);
}

void TFormXTSZ::storeQuietHours()
{
    // Only a change the user makes is stored: a new user's file stays empty until then.
    ReminderSettings &settings = ReminderSettings::instance();
    if (QuietFromEdit->time() != settings.quietFrom() || QuietToEdit->time() != settings.quietTo())
        settings.setQuietHours(QuietFromEdit->time(), QuietToEdit->time());
}

void TFormXTSZ::showReminderSettings()
{
    const ReminderSettings &settings = ReminderSettings::instance();
    QList<QObject *> controls{MuteCheckBox,
                              ToastsRadio,
                              DesktopNotificationsRadio,
                              StaysUntilClickedCheckBox,
                              AutostartCheckBox,
                              KeychainCheckBox,
                              QuietHoursCheckBox,
                              QuietFromEdit,
                              QuietToEdit,
                              TradingSessionsCheckBox};
    for (const StreamControls &row : StreamRows)
        controls << row.sound << row.toast;
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (QObject *control : controls)
        blockers.push_back(std::make_unique<QSignalBlocker>(control));

    MuteCheckBox->setChecked(settings.muted());
    const bool desktop = settings.presentation() == ReminderSettings::Presentation::DesktopNotifications;
    DesktopNotificationsRadio->setChecked(desktop);
    ToastsRadio->setChecked(!desktop);
    StaysUntilClickedCheckBox->setChecked(settings.toastsStayUntilClicked());
    const QList<ReminderSettings::Stream> streams = ReminderSettings::streams();
    for (int row = 0; row < streams.size(); ++row) {
        const ReminderSettings::Stream stream = streams.at(row);
        const StreamControls &controls = StreamRows[size_t(row)];
        controls.sound->setChecked(settings.soundOn(stream));
        controls.toast->setChecked(settings.toastOn(stream));
        const QString own = settings.soundName(stream);
        controls.soundName->setText(own.isEmpty() ? QStringLiteral("默认提示音") : OutsideText::cut(own, 40));
        controls.sharedSound->setEnabled(!own.isEmpty());
    }
    QuietHoursCheckBox->setChecked(settings.quietHoursOn());
    QuietFromEdit->setTime(settings.quietFrom());
    QuietToEdit->setTime(settings.quietTo());
    TradingSessionsCheckBox->setChecked(settings.tradingSessionsOnly());
    AutostartCheckBox->setChecked(Autostart::isEnabled());
    KeychainCheckBox->setChecked(settings.passwordInKeychain());
}

// The chosen file is copied beside the sound in use: the stream keeps its sound however the
// original is moved. As with the shared sound, the user hears whether it worked.
void TFormXTSZ::chooseStreamSound(ReminderSettings::Stream stream)
{
    const QString file = chooseFile(this, UnitGlouble.AppDir + QStringLiteral("Mid/"), SoundFilter);
    if (file.isEmpty())
        return;
    const bool replaced = AlertSoundReplacement::replace(file, AlertSound::streamSoundPath(stream)) !=
                          AlertSoundReplacement::Result::Failed;
    if (replaced)
        ReminderSettings::instance().setSoundName(stream, QFileInfo(file).fileName());
    MessageBoxes::system(replaced ? QStringLiteral("提示音修改成功!") : QStringLiteral("提示音修改失败!"),
                         QStringLiteral("提示"));
}

void TFormXTSZ::useSharedSound(ReminderSettings::Stream stream)
{
    ReminderSettings::instance().setSoundName(stream, QString());
    QFile::remove(AlertSound::streamSoundPath(stream));
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
        const auto result =
            chosen ? AlertSoundReplacement::replaceInUse(file) : AlertSoundReplacement::Result::Failed;
        replaced = result != AlertSoundReplacement::Result::Failed;
        if (result == AlertSoundReplacement::Result::Replaced)
            ReminderSettings::instance().setSharedSoundName(QFileInfo(file).fileName());
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
