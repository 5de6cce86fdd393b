#include "UnitGlouble.h"

#include <QCoreApplication>

GlobalState UnitGlouble;

QString programDirectory()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}
