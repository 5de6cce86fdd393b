#include "UnitZCCT.h"

#include "ClientStatements.h"
#include "DefaultErrorReport.h"
#include "MessageBoxes.h"
#include "ServiceClient.h"
#include "ServicePool.h"
#include "TextConversions.h"
#include "UnitGlouble.h"
#include "UserWait.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

using TextConversions::trim;

namespace {

const QString ApplyErrorCaption = QStringLiteral("申请错误！");

QLabel *boldLabel(const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    QFont labelFont = label->font();
    labelFont.setBold(true);
    labelFont.setPixelSize(11);
    label->setFont(labelFont);
    label->setGeometry(geometry);
    return label;
}

QLineEdit *edit(QWidget *parent, const QRect &geometry)
{
    auto *box = new QLineEdit(parent);
    box->setGeometry(geometry);
    return box;
}

} // namespace

TFormZCCT::TFormZCCT(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(387, 305);

    Label1 = boldLabel(QStringLiteral("申 请 用 户 名："), this, QRect(48, 32, 107, 13));
    Edit1 = edit(this, QRect(160, 29, 169, 21));
    Label3 = boldLabel(QStringLiteral("申 请 人   Q Q："), this, QRect(48, 76, 107, 13));
    Edit2 = edit(this, QRect(160, 72, 169, 21));
    Label2 = boldLabel(QStringLiteral("申请初始密码："), this, QRect(48, 120, 104, 13));
    Edit3 = edit(this, QRect(160, 116, 169, 21));
    Edit3->setEchoMode(QLineEdit::Password);
    Label4 = boldLabel(QStringLiteral("申请密码确认："), this, QRect(48, 164, 104, 13));
    Edit4 = edit(this, QRect(160, 159, 169, 21));
    Edit4->setEchoMode(QLineEdit::Password);

    Button1 = new QPushButton(QStringLiteral("确认申请"), this);
    Button1->setGeometry(81, 253, 75, 25);
    Button2 = new QPushButton(QStringLiteral("关闭"), this);
    Button2->setGeometry(225, 253, 75, 25);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, &TFormZCCT::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormZCCT::Button2Click);
}

void TFormZCCT::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TFormZCCT::FormShow()
{
    setWindowTitle(UnitGlouble.SystemName + QStringLiteral("注册窗体"));
}

void TFormZCCT::Button1Click()
{
    if (UserWait::isWaiting()) // the application still waits for the service
        return;
    DefaultErrorReport::runHandler([this] { apply(); });
}

void TFormZCCT::apply()
{
    if (trim(Edit1->text()).isEmpty()) {
        MessageBoxes::system(QStringLiteral("用户名不能为空，请重新输入!"), QStringLiteral("提示"));
        return;
    }
    if (Edit3->text() != Edit4->text()) {
        MessageBoxes::system(QStringLiteral("密码输入不一致，请重新输入!"), QStringLiteral("提示"));
        return;
    }

    // The name is looked up exactly as typed; a failing query goes to the default report.
    const QString typedName = Edit1->text();
    const auto count = [this](const QString &sql) {
        return UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable,
                             [&sql] { return ServiceClient::GetWebServiceSoap()->hqsfczjl(sql); });
    };
    if (count(ClientStatements::userNameCount(typedName)) > 0) {
        MessageBoxes::application(QStringLiteral("用户名重复，请换一个用户名申请！"), ApplyErrorCaption,
                                  MessageBoxes::Icon::Error, MessageBoxes::Buttons::Ok, this);
        return;
    }
    if (count(ClientStatements::applicationNameCount(typedName)) > 0) {
        MessageBoxes::application(QStringLiteral("该用户名正在申请中，请换一个用户名申请！"),
                                  ApplyErrorCaption, MessageBoxes::Icon::Error, MessageBoxes::Buttons::Ok,
                                  this);
        return;
    }

    // The store answers "true" only when the row was written; an application it refused
    // (the name taken meanwhile, for one) must not be reported as a success.
    bool stored = false;
    try {
        const QString statement = ClientStatements::signUpApplication(
            trim(Edit1->text()), trim(Edit3->text()), trim(Edit2->text()));
        const QString answer =
            UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable,
                          [&statement] { return ServiceClient::GetWebServiceSoap()->zhixing(statement); });
        stored = trim(answer).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    } catch (const std::exception &) {
    }
    if (!stored) {
        MessageBoxes::application(QStringLiteral("注册失败，请重新再试！"), ApplyErrorCaption,
                                  MessageBoxes::Icon::Error, MessageBoxes::Buttons::Ok, this);
        return;
    }
    MessageBoxes::application(QStringLiteral("注册成功，我们会及时联系您！"), QStringLiteral("提示"),
                              MessageBoxes::Icon::None, MessageBoxes::Buttons::Ok, this);
}

void TFormZCCT::Button2Click()
{
    close();
}
