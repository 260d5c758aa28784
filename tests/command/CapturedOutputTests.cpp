// The runner's watched launch with real child processes: output read through
// pipes while the child runs, masked and decoded line by line, a child that
// leaves a process holding the pipe, and a time limit that ends the tree.
#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include "ProbeCommands.h"
#include "actions/command/CommandRunner.h"
#include "core/OutputLines.h"
#include "actions/command/WatchedCommand.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
typedef std::vector<std::wstring> Texts;

const std::wstring kOutput = L"RunCommand: > ";

// Records every line but the captured standard output, which it only
// measures, so megabytes of output do not fill the test's own memory.
class MeasuringContext : public RecordingContext {
public:
    MeasuringContext() : outputLines(0), characters(0), longest(0) {}
    void Log(int level, const std::wstring& message)
    {
        if (message.compare(0, kOutput.size(), kOutput) != 0) {
            RecordingContext::Log(level, message);
            return;
        }
        const std::wstring text = message.substr(kOutput.size());
        if (outputLines++ == 0) {
            first = text;
            if (onFirstOutput)
                onFirstOutput();
        }
        last = text;
        characters += text.size();
        longest = std::max(longest, text.size());
    }

    size_t outputLines;
    size_t characters;
    size_t longest;
    std::wstring first;
    std::wstring last;
    std::function<void()> onFirstOutput;
};

size_t peakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters = { sizeof(counters) };
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

// The texts after a prefix ("RunCommand: > " or "RunCommand: ! "), in order.
Texts captured(const RecordingContext& context, const std::wstring& prefix)
{
    Texts texts;
    for (const LogLine& line : context.lines) {
        if (line.text.compare(0, prefix.size(), prefix) == 0) {
            EXPECT_EQ(2, line.level);
            texts.push_back(line.text.substr(prefix.size()));
        }
    }
    return texts;
}

class CapturedOutputTest : public ::testing::Test {
protected:
    // The exit code ExecuteCommandLine leaves for the command.
    int run(const std::wstring& commandLine, const RecordingContext::Values& arguments,
            RecordingContextPtr with = RecordingContextPtr())
    {
        context = with ? with : RecordingContext::Create();
        context->arguments = arguments;
        int exitCode = -1;
        EXPECT_EQ(0, ExecuteCommandLine(context, commandLine, &exitCode, false));
        return exitCode;
    }

    // True when the process whose id the probe wrote into the file has ended
    // (it may take a moment after its job was ended).
    static bool ended(const std::wstring& idFile)
    {
        if (!WaitForFile(idFile))
            return false;
        const DWORD id = static_cast<DWORD>(std::stoul(ReadBytes(idFile)));
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
        if (!process)
            return GetLastError() == ERROR_INVALID_PARAMETER; // gone already
        const bool gone = WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
        CloseHandle(process);
        return gone;
    }

    static bool running(const std::wstring& idFile)
    {
        const DWORD id = static_cast<DWORD>(std::stoul(ReadBytes(idFile)));
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
        const bool alive = process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
        if (process)
            CloseHandle(process);
        return alive;
    }

    std::wstring file(const wchar_t* name) const { return Quoted(temp.file(name)); }

    ScopedTempDir temp;
    RecordingContextPtr context;
};
}

TEST_F(CapturedOutputTest, OutputAndErrorAreLoggedLineByLine)
{
    // Each stream keeps its order; how the two interleave is up to the
    // child's timing, so they are compared one by one.
    EXPECT_EQ(3, run(ProbeCommand(L"--out \"one\\r\\ntwo\\n\" --err \"first problem\\n\" --out "
                                  L"\"tab\\there\\0\\r\\n\\nnaïve ✓\\n\" --err \"second\\rthird\" --out \"caf\\x82\" "
                                  L"--exit 3"),
                     { { L"CaptureOutput", L"yes" } }));
    // Not UTF-8: the code page a shown child writes in, whatever it is here.
    wchar_t oem[2] = {};
    MultiByteToWideChar(ChildOutputCodePages(false).expected, 0, "\x82", 1, oem, 1);
    EXPECT_EQ((Texts{ L"one", L"two", L"tab\there\xFFFD", L"", L"na\xEFve \x2713", std::wstring(L"caf") + oem[0] }),
              captured(*context, kOutput));
    EXPECT_EQ((Texts{ L"first problem", L"second", L"third" }), captured(*context, L"RunCommand: ! "));

    // cmd writes in the console's code page. Hidden, because under Wine a
    // child that is shown gets no console when the test has none, and then
    // writes in the ANSI code page.
    run(L"cmd /c echo café& echo déjà vu 1>&2", { { L"CaptureOutput", L"1" }, { L"HideWindows", L"1" } });
    EXPECT_EQ((Texts{ L"café" }), captured(*context, kOutput));
    EXPECT_EQ((Texts{ L"déjà vu " }), captured(*context, L"RunCommand: ! "));
}

TEST_F(CapturedOutputTest, SecretsInTheOutputAreMasked)
{
    // The second secret arrives in two writes, split at 4 KiB.
    const std::wstring filler(4093, L'a');
    run(ProbeCommand(L"--out \"pw=hunter2\\n\" --err \"bad hunter2hunter2\\n\" --out \"" + filler +
                     L"hun\" --sleep 200 --out \"ter2 end\\n\""),
        { { L"CaptureOutput", L"true" }, { L"SensitiveData", L"hunter2" }, { L"LogCmdLine", L"yes" } });
    for (const std::wstring& line : context->Texts())
        EXPECT_EQ(std::wstring::npos, line.find(L"hunter2")) << Narrow(line.substr(0, 80));
    EXPECT_EQ((Texts{ L"pw=********", filler + L"******** end" }), captured(*context, kOutput));
    EXPECT_EQ((Texts{ L"bad ****************" }), captured(*context, L"RunCommand: ! "));
}

TEST_F(CapturedOutputTest, LargeOutputIsReadWhileTheChildRuns)
{
    // 20 MB on one line: the child waits, after writing it all, until the
    // first piece reaches the log, which only reading while it runs allows.
    const std::wstring release = temp.file(L"release");
    boost::shared_ptr<MeasuringContext> measuring(new MeasuringContext);
    measuring->onFirstOutput = [&release]() { WriteBytes(release, "go"); };
    const size_t peakBefore = peakWorkingSet();
    EXPECT_EQ(0, run(ProbeCommand(L"--bytes 20000000 --wait-for " + Quoted(release) + L" --done " + file(L"done")),
                     { { L"CaptureOutput", L"yes" } }, measuring));
    EXPECT_EQ(L"released", ReadProbeText(temp.file(L"done")));
    EXPECT_EQ(20000000u, measuring->characters);
    EXPECT_EQ(CommandOutput::kPieceCharacters, measuring->longest);
    EXPECT_EQ((20000000 + CommandOutput::kPieceCharacters - 1) / CommandOutput::kPieceCharacters,
              measuring->outputLines);
    // Flat: far less than the line itself (40 MB as UTF-16).
    EXPECT_LT(peakWorkingSet() - peakBefore, 16u << 20);

    // 200,000 lines: the first 100,000 are logged, the rest counted.
    measuring.reset(new MeasuringContext);
    run(ProbeCommand(L"--lines 200000 line"), { { L"CaptureOutput", L"yes" } }, measuring);
    EXPECT_EQ(CommandOutput::kLoggedLines, measuring->outputLines);
    EXPECT_EQ(L"line 1", measuring->first);
    EXPECT_EQ(L"line 100000", measuring->last);
    const Texts last = measuring->Texts();
    ASSERT_LE(2u, last.size());
    EXPECT_EQ((Texts{ L"RunCommand: 100000 more output lines left out of the log", L"RunCommand: Exit code [0]" }),
              Texts(last.end() - 2, last.end()));
}

TEST_F(CapturedOutputTest, AProcessLeftHoldingThePipeIsNotWaitedFor)
{
    const std::wstring release = temp.file(L"release");
    EXPECT_EQ(0, run(ProbeCommand(L"--spawn " + file(L"grandchild") + L" \"--wait-for " + release + L" --done " +
                                  temp.file(L"done") + L"\" --out \"child done\\n\""),
                     { { L"CaptureOutput", L"yes" } }));
    EXPECT_EQ((Texts{ L"child done" }), captured(*context, kOutput));
    // Back while the grandchild still holds the pipe.
    EXPECT_TRUE(running(temp.file(L"grandchild")));
    WriteBytes(release, "go");
    ASSERT_TRUE(WaitForFile(temp.file(L"done")));
    EXPECT_EQ(L"released", ReadProbeText(temp.file(L"done")));
}

TEST_F(CapturedOutputTest, TimeLimitEndsTheWholeTree)
{
    // The child and the process it starts both wait for a file that never
    // comes; with or without capture the limit ends both. The limit leaves
    // a loaded machine time to start them both.
    const std::wstring release = temp.file(L"release");
    const std::wstring hanging = ProbeCommand(L"--pid " + file(L"child") + L" --spawn " + file(L"grandchild") +
                                              L" \"--wait-for " + release + L"\" --out \"started\\n\" --wait-for " +
                                              Quoted(release));
    for (const wchar_t* capture : { L"yes", L"" }) {
        DeleteFileW(temp.file(L"child").c_str());
        DeleteFileW(temp.file(L"grandchild").c_str());
        EXPECT_EQ(static_cast<int>(ERROR_TIMEOUT),
                  run(hanging, { { L"CaptureOutput", capture }, { L"TimeoutSeconds", L"5" } }));
        EXPECT_TRUE(ended(temp.file(L"child")));
        EXPECT_TRUE(ended(temp.file(L"grandchild")));
        EXPECT_TRUE(context->HasLine(
            L"RunCommand: Command timed out after 5 seconds; it was ended with every process it started", 4));
        EXPECT_EQ(*capture ? Texts{ L"started" } : Texts(), captured(*context, kOutput));
    }

    // RunCommand retries a command that timed out like one that failed.
    const std::wstring counter = temp.file(L"runs");
    RecordingContextPtr action = RecordingContext::Create(
        { { L"CmdLine", ProbeCommand(L"--counter " + Quoted(counter) + L" --wait-for " + Quoted(release)) },
          { L"TimeoutSeconds", L"5" }, { L"MaxRetriesAllowed", L"1" }, { L"RetryInterval", L"0" } });
    EXPECT_EQ(0, CallAction("RunCommand", action));
    EXPECT_EQ(2, ReadCount(counter));
    EXPECT_EQ(2u, action->Texts(4).size());
    EXPECT_TRUE(action->HasLine(L"RunCommand: Command returned result [1460]. Retried [1] times. Will retry up to "
                                L"[1] times. Waiting for [0] seconds...",
                                2));

    // RunCommandAndSetProperty looks the code up like any other.
    action = RecordingContext::Create({ { L"CmdLine", ProbeCommand(L"--wait-for " + Quoted(release)) },
                                        { L"TimeoutSeconds", L"1" }, { L"WriteProperty", L"State" },
                                        { L"Default", L"other" }, { L"ReturnCodesSet", L"0;1460" },
                                        { L"ValuesSet", L"done;hung" } });
    EXPECT_EQ(0, CallAction("RunCommandAndSetProperty", action));
    std::wstring state;
    EXPECT_TRUE(action->PropertySet(L"State", &state));
    EXPECT_EQ(L"hung", state);
    WriteBytes(release, "go");
}

TEST_F(CapturedOutputTest, SettingsThatDoNotApplyChangeNothingButALine)
{
    const std::wstring command = ProbeCommand(L"--exit 4");
    run(command, {});
    const Texts before = context->Texts();
    EXPECT_EQ(4, run(command, { { L"CaptureOutput", L"no" }, { L"TimeoutSeconds", L"" } }));
    EXPECT_EQ(before, context->Texts());

    // Not waited for: both settings are dropped with a line each, after the
    // options' echo, and the command runs as before.
    const std::wstring release = temp.file(L"release");
    EXPECT_EQ(-1, run(ProbeCommand(L"--wait-for " + Quoted(release) + L" --done " + file(L"done")),
                      { { L"NoWaiting", L"yes" }, { L"CaptureOutput", L"yes" }, { L"TimeoutSeconds", L"1" } }));
    const Texts lines = RunnerLines(*context);
    ASSERT_LE(3u, lines.size());
    EXPECT_EQ((Texts{ L"UseShellExecute:    ", L"CaptureOutput is ignored with NoWaiting",
                      L"TimeoutSeconds is ignored with NoWaiting" }),
              Texts(lines.end() - 3, lines.end()));
    WriteBytes(release, "go");
    ASSERT_TRUE(WaitForFile(temp.file(L"done")));
}

TEST_F(CapturedOutputTest, SecretsAreMaskedInEveryEncodingAProgramWrites)
{
    const std::wstring secret = L"p\xE4ssw\xF6rd";
    struct Row {
        std::wstring commandLine;
        const wchar_t* hide;
        const wchar_t* line;
    } rows[] = {
        // UTF-16LE, with no byte-order mark.
        { L"cmd /u /c echo my secretpw here", L"1", L"my ******** here" },
        { L"cmd /u /c echo my secretpw here", L"", L"my ******** here" },
        // The code page cmd writes in, with a console or without one.
        { L"cmd /c echo key=" + secret, L"1", L"key=********" },
        { L"cmd /c echo key=" + secret, L"", L"key=********" },
        // UTF-8 with a stray byte elsewhere on the line.
        { ProbeCommand(L"--out \"key=" + secret + L" \\xE9\\n\""), L"", 0 },
    };
    for (const Row& row : rows) {
        const std::wstring sensitive = row.commandLine.find(L"secretpw") != std::wstring::npos ? L"secretpw" : secret;
        run(row.commandLine, { { L"CaptureOutput", L"yes" }, { L"HideWindows", row.hide },
                               { L"SensitiveData", sensitive }, { L"LogCmdLine", L"yes" } });
        const Texts lines = captured(*context, kOutput);
        ASSERT_EQ(1u, lines.size()) << Narrow(row.commandLine);
        if (row.line)
            EXPECT_EQ(row.line, lines[0]) << Narrow(row.commandLine);
        else
            EXPECT_EQ(0u, lines[0].find(L"key=******** ")) << Narrow(lines[0]);
        for (const std::wstring& text : context->Texts())
            EXPECT_EQ(std::wstring::npos, text.find(sensitive)) << Narrow(text);
    }
}

TEST_F(CapturedOutputTest, TheTimeLimitWaitsForTheWholeTree)
{
    const std::wstring release = temp.file(L"release");
    // The child ends at once; the process it started finishes within the
    // limit: the command has ended only when that one has, and what it
    // wrote on its way out is logged.
    EXPECT_EQ(3, run(ProbeCommand(L"--spawn " + file(L"grandchild") + L" \"--sleep 500 --out late\\n --pid " +
                                  temp.file(L"finished") + L"\" --exit 3"),
                     { { L"CaptureOutput", L"yes" }, { L"TimeoutSeconds", L"60" } }));
    EXPECT_TRUE(PathExists(temp.file(L"finished")));
    EXPECT_EQ((Texts{ L"late" }), captured(*context, kOutput));

    // The child ends at once, the process it started runs on: it is ended at
    // the limit. One started outside the job is not.
    EXPECT_EQ(static_cast<int>(ERROR_TIMEOUT),
              run(ProbeCommand(L"--spawn " + file(L"inside") + L" \"--wait-for " + release + L"\" --spawn-away " +
                               file(L"outside") + L" \"--wait-for " + release + L"\""),
                  { { L"TimeoutSeconds", L"5" } }));
    EXPECT_TRUE(ended(temp.file(L"inside")));
    ASSERT_TRUE(WaitForFile(temp.file(L"outside")));
    EXPECT_TRUE(running(temp.file(L"outside")));
    WriteBytes(release, "go");
    EXPECT_TRUE(ended(temp.file(L"outside")));
}

TEST_F(CapturedOutputTest, OutputWrittenJustAfterTheCommandEndedIsRead)
{
    // No time limit: the command's own end starts the read-out, which goes
    // on until the pipes close.
    run(ProbeCommand(L"--spawn " + file(L"grandchild") + L" \"--sleep 300 --out late\\n\" --out early\\n"),
        { { L"CaptureOutput", L"yes" } });
    EXPECT_EQ((Texts{ L"early", L"late" }), captured(*context, kOutput));
}
