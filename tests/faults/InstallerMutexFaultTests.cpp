// The installer mutex against other processes, through real host processes
// installing real packages: a transaction that holds the mutex for a while,
// one that dies holding it, and three hosts installing at once.
#include <gtest/gtest.h>

#include <memory>

#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include "../du/DuTestSupport.h"

namespace {
// The host writes this line just before it waits for the mutex.
const char* const kWaitingLine = "Calling msiexec with parameters:";
const unsigned long kMinute = 60000;

// Another process that takes the installer mutex and holds it until it is
// released, or dies holding it when killed.
class MutexHolder {
public:
    MutexHolder()
        : m_ready(L"VerrandFaultsHolderReady"), m_release(L"VerrandFaultsHolderRelease"),
          m_process(QuotedArgument(TestProgramFolder() + L"\\installer-mutex-holder.exe") + L" hold " + m_ready.name +
                    L" " + m_release.name)
    {
        if (WaitForSingleObject(m_ready.handle, kMinute) != WAIT_OBJECT_0)
            throw std::runtime_error("the mutex holder did not take the mutex");
    }
    // Gives the mutex back and ends; its exit code (0 when all went well).
    unsigned long Release()
    {
        SetEvent(m_release.handle);
        return m_process.Finish().exitCode;
    }
    void Die() { m_process.Kill(); }

private:
    NamedEvent m_ready;
    NamedEvent m_release;
    StartedChild m_process;
};

bool mutexFree()
{
    return RunChild(QuotedArgument(TestProgramFolder() + L"\\installer-mutex-holder.exe") + L" try").exitCode == 0;
}

class InstallerMutexFaultTest : public ::testing::Test {
protected:
    void TearDown()
    {
        for (const wchar_t* product : { MachineProduct, UserProduct, RebootProduct })
            RemoveProduct(product);
    }

    // verrand-host running one deployment-unit action; the unit's id names
    // its verbose log.
    std::unique_ptr<StartedChild> startHost(const std::wstring& action, const std::wstring& id,
                                            const std::vector<std::wstring>& arguments)
    {
        std::wstring line = QuotedArgument(DistFolder() + L"\\verrand-host.exe") + L" --prop " +
                            QuotedArgument(L"$logs.folder=" + logs.path() + L"\\") + L" --prop " +
                            QuotedArgument(L"$du.id=" + id) + L" run " + action;
        for (const std::wstring& argument : arguments)
            line += L" " + QuotedArgument(argument);
        return std::unique_ptr<StartedChild>(new StartedChild(line));
    }

    std::unique_ptr<StartedChild> startInstall(const std::wstring& package, const wchar_t* perUser = L"0")
    {
        return startHost(L"InstallDUBundle", package,
                         { L"DUBundle=" + PackagePath(package), std::wstring(L"PerUser=") + perUser });
    }

    // The host has come to the mutex and is still waiting behind `holder`.
    void expectWaiting(StartedChild& host, const wchar_t* product)
    {
        ASSERT_TRUE(host.WaitForOutput(kWaitingLine, kMinute));
        // A host that did not wait would have finished by now.
        EXPECT_FALSE(host.Ended(3000));
        EXPECT_FALSE(ProductInstalled(product));
    }

    // The host ended with status 0 and without an error line.
    void expectSucceeded(StartedChild& host, const char* action)
    {
        const ChildResult result = host.Finish();
        EXPECT_EQ(0u, result.exitCode) << result.output;
        EXPECT_NE(std::string::npos, result.output.find(std::string(action) + " returned 0")) << result.output;
        EXPECT_EQ(std::string::npos, result.output.find("[error]")) << result.output;
    }

    ScopedTempDir logs;
};
}

TEST_F(InstallerMutexFaultTest, HostsWaitForATransactionThatHoldsTheMutex)
{
    {
        MutexHolder holder;
        std::unique_ptr<StartedChild> host = startInstall(L"machine");
        expectWaiting(*host, MachineProduct);
        EXPECT_EQ(0u, holder.Release());
        expectSucceeded(*host, "InstallDUBundle");
        EXPECT_TRUE(ProductInstalled(MachineProduct));
    }
    MutexHolder holder;
    std::unique_ptr<StartedChild> host = startHost(L"UnInstallDUBundle", L"machine", { L"Guid=" +
                                                                                      std::wstring(MachineProduct) });
    ASSERT_TRUE(host->WaitForOutput("Log file name:", kMinute));
    EXPECT_FALSE(host->Ended(3000));
    EXPECT_TRUE(ProductInstalled(MachineProduct));
    EXPECT_EQ(0u, holder.Release());
    expectSucceeded(*host, "UnInstallDUBundle");
    EXPECT_FALSE(ProductInstalled(MachineProduct));
    EXPECT_TRUE(mutexFree());
}

TEST_F(InstallerMutexFaultTest, TransactionThatDiesHoldingTheMutexReleasesTheWaitingHost)
{
    {
        MutexHolder holder;
        std::unique_ptr<StartedChild> host = startInstall(L"machine");
        expectWaiting(*host, MachineProduct);
        holder.Die();
        expectSucceeded(*host, "InstallDUBundle");
        EXPECT_TRUE(ProductInstalled(MachineProduct));
        // The host took the abandoned mutex and gave it back.
        EXPECT_TRUE(mutexFree());
    }
    MutexHolder holder;
    std::unique_ptr<StartedChild> host = startHost(L"UnInstallDUBundle", L"machine",
                                                   { L"DUBundle=" + PackagePath(L"machine") });
    ASSERT_TRUE(host->WaitForOutput("Log file name:", kMinute));
    EXPECT_FALSE(host->Ended(3000));
    holder.Die();
    expectSucceeded(*host, "UnInstallDUBundle");
    EXPECT_FALSE(ProductInstalled(MachineProduct));
    EXPECT_TRUE(mutexFree());
}

// Three setups started together while a fourth transaction runs: each waits
// for the mutex, and once it is free all three install. (That the three
// transactions then run one after the other is Windows Installer's doing: it
// holds the mutex while a transaction runs. Wine's installer does not, so
// here the three transactions overlap.)
TEST_F(InstallerMutexFaultTest, ThreeHostsInstallingAtOnceAllWaitAndAllSucceed)
{
    MutexHolder holder;
    struct Unit {
        const wchar_t* package;
        const wchar_t* product;
        const wchar_t* perUser;
    };
    const Unit units[] = { { L"machine", MachineProduct, L"0" }, { L"user", UserProduct, L"1" },
                           { L"reboot", RebootProduct, L"0" } };
    std::vector<std::unique_ptr<StartedChild>> hosts;
    for (const Unit& unit : units)
        hosts.push_back(startInstall(unit.package, unit.perUser));
    for (size_t i = 0; i < hosts.size(); ++i)
        ASSERT_TRUE(hosts[i]->WaitForOutput(kWaitingLine, kMinute)) << i;
    EXPECT_FALSE(hosts[0]->Ended(3000));
    for (size_t i = 0; i < hosts.size(); ++i) {
        EXPECT_FALSE(hosts[i]->Ended(0)) << i;
        EXPECT_FALSE(ProductInstalled(units[i].product)) << i;
    }

    EXPECT_EQ(0u, holder.Release());
    for (size_t i = 0; i < hosts.size(); ++i) {
        SCOPED_TRACE(Narrow(units[i].package));
        expectSucceeded(*hosts[i], "InstallDUBundle");
        EXPECT_TRUE(ProductInstalled(units[i].product));
    }
    EXPECT_TRUE(mutexFree());
}
