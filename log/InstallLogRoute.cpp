#include "InstallLogRoute.h"

#include <Poco/Message.h>

#include "PocoWrapper/String.h"
#include "log/InstallLog.h"

namespace {
class SinkChannel : public Poco::Channel {
public:
    explicit SinkChannel(InstallLogRoute::LineSink sink) : m_sink(sink) {}
    void log(const Poco::Message& message) { m_sink(PocoWrapper::toWide(message.getText())); }

private:
    InstallLogRoute::LineSink m_sink;
};
}

InstallLogRoute::InstallLogRoute(LineSink sink) : m_channel(new SinkChannel(sink))
{
    InstallLog::AttachOutput(m_channel);
}

InstallLogRoute::~InstallLogRoute()
{
    try {
        InstallLog::DetachOutput(m_channel);
    } catch (...) {
    }
}
