#pragma once

#include "ReminderSettings.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimeEdit;

// The settings window: changes the password, replaces the alert sound and names the system
// and its customer-service contact. Created for one modal showing.
class TFormXTSZ : public QDialog
{
    Q_OBJECT

public:
    // Runs the file-open dialog: owner, start folder and filter in, the chosen file out
    // (empty when cancelled).
    using FileChooser = std::function<QString(QWidget *owner, const QString &folder, const QString &filter)>;
    // Replaces the real dialog (tests); an empty chooser restores it. Returns the previous one.
    static FileChooser setFileChooser(FileChooser chooser);

    // What else follows a password the service has taken (the account's web address, the
    // remembered password); the program sets it. Returns the previous one.
    using NewPasswordTaken = std::function<void(const QString &password)>;
    static NewPasswordTaken setNewPasswordTaken(NewPasswordTaken taken);

    explicit TFormXTSZ(QWidget *owner = nullptr);

    QTabWidget *PageControl1;
    QWidget *TabSheet1; // 修改密码
    QWidget *TabSheet2; // 修改提示音
    QWidget *TabSheet4; // 关于软件
    QWidget *TabSheet5; // 提醒设置

    QLabel *Label1;
    QLineEdit *Edit1; // current password
    QLabel *Label2;
    QLineEdit *Edit2; // new password
    QLabel *Label3;
    QLineEdit *Edit3;     // new password again
    QPushButton *Button1; // 确认修改
    QPushButton *Button2; // 关闭窗体

    QPushButton *Button4; // 修改提示音
    QPushButton *Button3; // 关闭窗体
    // Beyond the design: which sound is in use, and a button that plays it.
    QLabel *SoundInUseLabel;
    QPushButton *PlaySoundButton; // 试听

    QLabel *Label8;       // SystemName
    QLabel *Label4;       // 客服QQ：
    QLabel *Label5;       // SupportQQ, selectable
    QPushButton *Button7; // 关闭窗体
    // Beyond the design: the program's version, and a button that copies the support number.
    QLabel *VersionLabel;
    QPushButton *CopySupportButton; // 复制

    QCheckBox *MuteCheckBox;
    QRadioButton *ToastsRadio;
    QRadioButton *DesktopNotificationsRadio; // disabled where the desktop has no notifications
    QLabel *DesktopNotificationsMissingLabel;
    QCheckBox *StaysUntilClickedCheckBox;
    // Per stream, in ReminderSettings::streams() order: sound on, its sound, its choosers, toast on.
    struct StreamControls
    {
        QCheckBox *sound;
        QLabel *soundName;
        QPushButton *chooseSound; // 选择…
        QPushButton *sharedSound; // 默认
        QCheckBox *toast;
    };
    std::array<StreamControls, 4> StreamRows;
    QCheckBox *QuietHoursCheckBox;
    QTimeEdit *QuietFromEdit;
    QTimeEdit *QuietToEdit;
    QCheckBox *TradingSessionsCheckBox; // 只在交易时段提醒
    QCheckBox *AutostartCheckBox;
    QCheckBox *KeychainCheckBox;
    QLabel *KeychainMissingLabel; // shown when the desktop has no keychain
    QPushButton *Button8;         // 关闭窗体

public slots:
    void Button1Click();
    void Button2Click();
    void Button4Click();
    void Button7Click();

private:
    void buildPasswordPage();
    void buildSoundPage();
    void buildAboutPage();
    void buildReminderPage();
    QWidget *buildPresentationRows();
    QGroupBox *buildStreamGroup();
    QGroupBox *buildQuietGroup();
    void connectReminderControls();
    void showReminderSettings();
    void showSoundInUse();
    void chooseStreamSound(ReminderSettings::Stream stream);
    void useSharedSound(ReminderSettings::Stream stream);
    void storeQuietHours();
    void setAutostart(bool enabled);
    void FormCreate();

    // Sends the password update; returns the service's answer trimmed. Throws on failure.
    QString sendNewPassword(const QString &password);
    void showPasswordMessage(const QString &text, const QString &caption, bool errorIcon);
};
