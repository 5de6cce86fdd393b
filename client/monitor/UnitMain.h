#pragma once

#include <QWidget>

// The resident main window. Created hidden before the login window; shown once the login
// succeeded. For now it is a plain window of the final size.
class TFrmMain : public QWidget
{
    Q_OBJECT

public:
    explicit TFrmMain(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
};
