#include "ClientServiceFixture.h"

#include "ServiceClient.h"

ClientServiceFixture::ClientServiceFixture(bool demo, const QStringList &serveArgs)
    : m_service(demo, serveArgs), m_boxes(std::make_unique<MessageBoxRecorder>()),
      m_previousHost(ServiceClient::serviceHost())
{
    if (m_service.isRunning())
        ServiceClient::setServiceHost(m_service.host());
}

ClientServiceFixture::~ClientServiceFixture()
{
    ServiceClient::setServiceHost(m_previousHost);
}
