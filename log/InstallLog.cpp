#include "InstallLog.h"

#include <vector>

#include <Poco/Exception.h>
#include <Poco/Formatter.h>
#include <Poco/FormattingChannel.h>
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

Poco::FastMutex& instanceMutex()
{
    static Poco::FastMutex mutex;
    return mutex;
}

boost::shared_ptr<InstallLog::Impl> instance()
{
    Poco::FastMutex::ScopedLock lock(instanceMutex());
    if (!g_holder)
        g_holder = new Holder(new InstallLog::Impl());
    return g_holder->instance;
}

// The splitter of the root logger, whichever log instance created it.
Poco::AutoPtr<Poco::SplitterChannel> rootSplitter()
{
    Poco::Channel::Ptr channel = Poco::Logger::root().getChannel();
    Poco::SplitterChannel* splitter = dynamic_cast<Poco::SplitterChannel*>(channel.get());
    if (!splitter)
        throw Poco::IllegalStateException("the root logger has no splitter channel");
    return Poco::AutoPtr<Poco::SplitterChannel>(splitter, true);
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

void InstallLog::AttachOutput(Poco::Channel::Ptr output)
{
    boost::shared_ptr<Impl> impl = instance();
    Poco::AutoPtr<Poco::SplitterChannel> splitter = rootSplitter();
    boost::shared_ptr<Poco::Channel> formatting = PocoWrapper::wrapRefCounted<Poco::Channel>(
        new Poco::FormattingChannel(Poco::Formatter::Ptr(impl->formatter.get(), true), output));
    {
        Poco::FastMutex::ScopedLock lock(instanceMutex());
        impl->channels.push_back(formatting);
    }
    splitter->addChannel(Poco::Channel::Ptr(formatting.get(), true));
}

void InstallLog::DetachOutput(Poco::Channel::Ptr output)
{
    boost::shared_ptr<Impl> impl = instance();
    Poco::AutoPtr<Poco::SplitterChannel> splitter = rootSplitter();
    boost::shared_ptr<Poco::Channel> attached;
    {
        Poco::FastMutex::ScopedLock lock(instanceMutex());
        for (size_t i = 0; i < impl->channels.size() && !attached; ++i) {
            Poco::FormattingChannel* formatting = dynamic_cast<Poco::FormattingChannel*>(impl->channels[i].get());
            if (formatting && formatting->getChannel() == output) {
                attached = impl->channels[i];
                impl->channels.erase(impl->channels.begin() + i);
            }
        }
    }
    if (attached)
        splitter->removeChannel(Poco::Channel::Ptr(attached.get(), true));
}
