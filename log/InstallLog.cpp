#include "InstallLog.h"

#include <vector>

#include <Poco/Exception.h>
#include <Poco/Formatter.h>
#include <Poco/Logger.h>
#include <Poco/LoggingFactory.h>
#include <Poco/Mutex.h>
#include <Poco/NestedDiagnosticContext.h>
#include <Poco/SplitterChannel.h>

#include "PocoWrapper/RefCounted.h"
#include "PocoWrapper/String.h"

class InstallLog::Impl {
public:
    Impl();

    boost::shared_ptr<Poco::Formatter> formatter;
    boost::shared_ptr<Poco::SplitterChannel> splitter;
    std::vector<boost::shared_ptr<Poco::Channel> > channels;
};

namespace {
struct null_deleter {
    void operator()(const void*) const {}
};

typedef boost::shared_ptr<const std::string> Message;

// Prefixes the calling thread's nested diagnostic context, if any.
Message build(const std::string& message)
{
    const Poco::NestedDiagnosticContext context(Poco::NDC::current());
    if (context.depth() > 0)
        return Message(new std::string("[" + context.toString() + "] " + message));
    return Message(&message, null_deleter());
}

struct Holder {
    explicit Holder(InstallLog::Impl* impl) : instance(impl) {}
    boost::shared_ptr<InstallLog::Impl> instance;
};

Holder* g_holder = 0;

boost::shared_ptr<InstallLog::Impl> instance()
{
    static Poco::FastMutex mutex;
    Poco::FastMutex::ScopedLock lock(mutex);
    if (!g_holder)
        g_holder = new Holder(new InstallLog::Impl());
    return g_holder->instance;
}

boost::shared_ptr<Poco::Formatter> newFormatter()
{
    Poco::Formatter::Ptr made = Poco::LoggingFactory::defaultFactory().createFormatter("PatternFormatter");
    made->duplicate(); // the reference the shared pointer gives back
    return PocoWrapper::wrapRefCounted(made.get());
}

void writeWarning(const std::string& message)
{
    Message text = build(message);
    Poco::Logger::root().warning(*text);
}
}

InstallLog::Impl::Impl()
    : formatter(newFormatter()),
      splitter(PocoWrapper::wrapRefCounted(new Poco::SplitterChannel))
{
    std::vector<boost::shared_ptr<Poco::Channel> >().swap(channels);
    formatter->setProperty("pattern", "%H:%M:%S.%i %t");
    formatter->setProperty("times", "local");
    try {
        splitter->duplicate(); // the logger's reference
        Poco::Logger::create("", Poco::Channel::Ptr(splitter.get()), Poco::Message::PRIO_TRACE);
    } catch (const Poco::ExistsException&) {
        writeWarning("Multiple InstallLogs instantiated.");
    }
}

void InstallLog::Debug(const std::string& message)
{
    instance();
    Poco::Logger::root().debug(*build(message));
}

void InstallLog::Debug(const std::wstring& message) { Debug(PocoWrapper::toUtf8(message)); }

void InstallLog::Info(const std::string& message)
{
    instance();
    Poco::Logger::root().information(*build(message));
}

void InstallLog::Info(const std::wstring& message) { Info(PocoWrapper::toUtf8(message)); }

void InstallLog::Warn(const std::string& message)
{
    instance();
    writeWarning(message);
}

void InstallLog::Warn(const std::wstring& message) { Warn(PocoWrapper::toUtf8(message)); }

void InstallLog::Error(const std::string& message)
{
    instance();
    Poco::Logger::root().error("Error: " + *build(message));
}

void InstallLog::Error(const std::wstring& message) { Error(PocoWrapper::toUtf8(message)); }
