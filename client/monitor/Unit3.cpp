#include "Unit3.h"

#include <QVBoxLayout>

Tmain::Tmain() : QWidget(nullptr, Qt::FramelessWindowHint) {}

void Tmain::embedInto(QWidget *hostPanel)
{
    setWindowFlags(Qt::Widget);
    setParent(hostPanel);
    // The host panel's layout keeps the page at the panel's whole client area.
    auto *layout = qobject_cast<QVBoxLayout *>(hostPanel->layout());
    if (!layout) {
        layout = new QVBoxLayout(hostPanel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(this);
}
