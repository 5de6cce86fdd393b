#include "TDataModule5.h"

#include "UnitGlouble.h"

TDataModule5::TDataModule5(QObject *parent) : QObject(parent)
{
    UnitGlouble.AppDir = programDirectory();
}
