#include "ApplicationTitle.h"

#include "UnitGlouble.h"

#include <QGuiApplication>

namespace ApplicationTitle {

QString text()
{
    if (!UnitGlouble.SystemName.isEmpty())
        return UnitGlouble.SystemName;
    return QGuiApplication::applicationDisplayName();
}

} // namespace ApplicationTitle
