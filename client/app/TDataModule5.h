#pragma once

#include <QObject>

// The non-visual container created first at start-up; creating it fixes AppDir.
class TDataModule5 : public QObject
{
    Q_OBJECT

public:
    explicit TDataModule5(QObject *parent = nullptr);
};
