#pragma once

#include <QDialog>
#include <QRect>

#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class ResultDocument;
class URLLabel;

// The login window: a borderless picture window. Creating it loads the server configuration
// into UnitGlouble; showing it fills in the remembered credentials; a successful login closes
// it with result 1, the close confirmation with result 2.
class TFrmLogin : public QDialog
{
    Q_OBJECT

public:
    enum ModalResult { mrOk = 1, mrCancel = 2 };

    // mainForm: the (still hidden) main window whose area the window is centred over.
    explicit TFrmLogin(QWidget *mainForm = nullptr);
    ~TFrmLogin() override;

    // True when the configuration could not be loaded: the message was shown and the
    // program must end without offering the window for input.
    bool terminationRequested() const { return m_terminationRequested; }

    // Components, under their designer names.
    QLabel *Image1;
    QLabel *Label1;
    QLineEdit *Edit1;
    QLabel *Label3;
    QLineEdit *Edit2;
    QCheckBox *CheckBox1;
    QLabel *Label2;
    URLLabel *URLLabel1;       // 新用户注册
    URLLabel *URLLabel2;       // 主   页
    URLLabel *URLLabel3;       // 点击：QQ联系
    QToolButton *SpeedButton1; // login, painted into the background
    QToolButton *SpeedButton2; // home page, with its own face
    QToolButton *SpeedButton3; // close, painted into the background
    QGroupBox *GroupBox1;
    QPlainTextEdit *Memo1;
    QPushButton *Button1; // 确定
    QPushButton *Button2; // 关闭
    QPushButton *Button3; // 用户注册

public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void URLLabel2Click();
    void SpeedButton2Click();
    void Label2Click();

    // The remember step of a successful login: writes or deletes the credentials file.
    void JLYHXX();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Closing from outside (window manager) ends like the close button's OK: result 2.
    void reject() override;

private:
    // The login behind Button1Click; its failures reach the default error report there.
    void signIn();
    void fillPasswordFromKeychain(const QString &userName);
    void rememberInKeychain(const QString &userName, const QString &password);
    void createComponents();
    void placeLabels();
    void FormCreate();
    void FormShow();
    void selectForCorrection(QLineEdit *field);
    bool Edit1KeyPress(QChar key);
    bool Edit2KeyPress(QChar key);
    void Image1MouseMove();
    void openHomePage();
    void failConfiguration(const QString &message);
    QRect centringArea() const;

    QWidget *m_mainForm;
    std::unique_ptr<ResultDocument> m_document;
    bool m_componentsCreated = false;
    bool m_terminationRequested = false;
    bool m_shown = false;
    bool m_closing = false; // the close was confirmed: a wait it cancelled is not an error
};
