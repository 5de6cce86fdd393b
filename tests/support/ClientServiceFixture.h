#pragma once

#include "MessageBoxRecorder.h"
#include "ServiceFixture.h"

#include <QString>

#include <memory>

// The set-up most client tests share: a real service with demo data that the whole process
// talks to, and a message-box recorder in place of real dialogs. Both end with the fixture.
//
//     ClientServiceFixture client;
//     QVERIFY2(client.isReady(), qPrintable(client.errorString()));
class ClientServiceFixture
{
public:
    explicit ClientServiceFixture(bool demo = true, const QStringList &serveArgs = {});
    ~ClientServiceFixture();
    ClientServiceFixture(const ClientServiceFixture &) = delete;
    ClientServiceFixture &operator=(const ClientServiceFixture &) = delete;

    bool isReady() const { return m_service.isRunning(); }
    QString errorString() const { return m_service.errorString(); }

    ServiceFixture &service() { return m_service; }
    MessageBoxRecorder &boxes() { return *m_boxes; }

private:
    ServiceFixture m_service;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    QString m_previousHost;
};
