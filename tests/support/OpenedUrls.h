#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Collects what the code under test hands to the desktop: install it with
// QDesktopServices::setUrlHandler(scheme, &opened, "open").
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};
