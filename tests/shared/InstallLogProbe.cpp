// Helper process for the install-log tests. Each scenario needs a process in
// which no install log exists yet. It prints every line that reaches the
// root logger as "priority|text".
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include <Poco/Channel.h>
#include <Poco/Logger.h>
#include <Poco/Message.h>
#include <Poco/Mutex.h>
#include <Poco/SplitterChannel.h>

#include "log/InstallLog.h"

namespace {
class PrintingChannel : public Poco::Channel {
public:
    void log(const Poco::Message& message)
    {
        const std::string line = std::to_string(message.getPriority()) + "|" + message.getText() + "\n";
        Poco::FastMutex::ScopedLock lock(m_mutex);
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, 0);
    }

private:
    Poco::FastMutex m_mutex;
};

// Brunlow's facade makes the root logger; this program's own copy of the
// facade (the one every action library carries) comes second.
int twoLibraries()
{
    boost::shared_ptr<ILogger> brunlow = InstallLogLogger::GetInstallLogLogger();
    brunlow->Log(2, L"brunlow, before any output");
    Poco::SplitterChannel* splitter =
        dynamic_cast<Poco::SplitterChannel*>(Poco::Logger::root().getChannel().get());
    if (!splitter)
        return 4;
    splitter->addChannel(new PrintingChannel);
    InstallLog::Error(std::wstring(L"local 1"));
    brunlow->Log(4, L"brunlow 1");
    InstallLog::Info(std::wstring(L"local 2"));
    brunlow->Log(3, L"brunlow 2");
    return 0;
}

// The root logger exists already; many threads make their first call to the
// facade at the same moment. Every instance made meets the existing root
// logger and says so once.
int concurrentFirstCalls()
{
    Poco::AutoPtr<Poco::SplitterChannel> splitter(new Poco::SplitterChannel);
    splitter->addChannel(new PrintingChannel);
    Poco::Logger::create("", splitter, Poco::Message::PRIO_TRACE);
    std::atomic<bool> go(false);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&go, i]() {
            while (!go.load())
                ;
            InstallLog::Info(std::string("thread ") + std::to_string(i));
        });
    }
    go.store(true);
    for (std::thread& thread : threads)
        thread.join();
    return 0;
}
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "two-libraries") == 0)
        return twoLibraries();
    if (argc == 2 && std::strcmp(argv[1], "concurrent-first-calls") == 0)
        return concurrentFirstCalls();
    std::fprintf(stderr, "usage: installlog-probe two-libraries|concurrent-first-calls\n");
    return 2;
}
