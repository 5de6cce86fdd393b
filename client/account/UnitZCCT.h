#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The sign-up window: applies for a new account under a name that is neither an account
// nor a pending application.
class TFormZCCT : public QDialog
{
    Q_OBJECT

public:
    explicit TFormZCCT(QWidget *parent = nullptr);

    QLabel *Label1;
    QLineEdit *Edit1; // user name
    QLabel *Label3;
    QLineEdit *Edit2; // QQ number
    QLabel *Label2;
    QLineEdit *Edit3; // password
    QLabel *Label4;
    QLineEdit *Edit4;     // password again
    QPushButton *Button1; // 确认申请
    QPushButton *Button2; // 关闭

public slots:
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    // The application behind Button1Click; its failures reach the default error report there.
    void apply();
};
