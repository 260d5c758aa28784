#include "RobustnessHarness.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "PocoWrapper/String.h"

namespace Target {
const char* const EnvSettings = "EnvSettings texts (ApplyEnvSettings)";
const char* const EnvSettingsThroughDll = "EnvSettings texts (RunCommand export)";
const char* const EntryLists = "entry lists and attribute texts (ReplaceFileVariables)";
const char* const TextReplaceThroughDll = "search, replacement and attribute texts (LMRXTextReplace export)";
const char* const UiTextFiles = "uitext files (getStringMap)";
const char* const UiTextThroughDll = "uitext files (TranslateString export)";
const char* const NormalizePath = "paths (NormalizePath)";
const char* const NormalizePathThroughDll = "link paths (CreateShortcut export)";
const char* const Formatter = "strings and libraries (BasicFormatString)";
const char* const FormatterThroughDll = "strings and fan-out files (TranslateString export)";
}

namespace {
// No new input for this long means the code under attack does not come
// back. Far beyond what any single input needs, even on a loaded machine.
const DWORD kHangSeconds = 120;
// The whole suite stays far below this; an input that made memory grow
// without bound would pass it.
const std::size_t kPeakWorkingSetLimit = 384u * 1024u * 1024u;

// What the crash reporter and the watchdog print. Plain buffers: the crash
// reporter may run with little stack left.
char g_target[128];
volatile LONG g_index;
volatile LONG g_sequence;

std::map<std::string, std::size_t>& counts()
{
    static std::map<std::string, std::size_t> table;
    return table;
}

std::vector<std::string>& order()
{
    static std::vector<std::string> targets;
    return targets;
}

void writeError(const char* text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written, 0);
}

LONG WINAPI reportCrash(EXCEPTION_POINTERS* exception)
{
    char line[256];
    std::snprintf(line, sizeof line, "robustness: unhandled exception 0x%08lx while processing %s input %ld\n",
                  static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode), g_target, g_index);
    writeError(line);
    // End here: handing the exception on starts a debugger, which waits.
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

DWORD WINAPI watchdog(void*)
{
    LONG seen = g_sequence;
    DWORD quiet = 0;
    for (;;) {
        Sleep(1000);
        const LONG now = g_sequence;
        if (now != seen) {
            seen = now;
            quiet = 0;
            continue;
        }
        // Only an input in progress can hang; between tests nothing counts.
        if (g_target[0] == '\0' || ++quiet < kHangSeconds)
            continue;
        char line[256];
        std::snprintf(line, sizeof line, "robustness: no progress for %lu s while processing %s input %ld\n",
                      static_cast<unsigned long>(kHangSeconds), g_target, g_index);
        writeError(line);
        TerminateProcess(GetCurrentProcess(), 3);
    }
}

class RobustnessEnvironment : public ::testing::Environment {
public:
    void SetUp()
    {
        SetUnhandledExceptionFilter(reportCrash);
        HANDLE thread = CreateThread(0, 0, watchdog, 0, 0, 0);
        if (thread)
            CloseHandle(thread);
    }

    void TearDown()
    {
        std::printf("\nrobustness inputs per target:\n");
        std::size_t total = 0;
        for (size_t i = 0; i < order().size(); ++i) {
            const std::size_t count = counts()[order()[i]];
            std::printf("  %-70s %8lu\n", order()[i].c_str(), static_cast<unsigned long>(count));
            total += count;
        }
        std::printf("  %-70s %8lu\n", "total", static_cast<unsigned long>(total));
        const std::size_t peak = PeakWorkingSet();
        std::printf("peak working set: %.1f MiB (limit %.0f MiB)\n", peak / 1048576.0, kPeakWorkingSetLimit / 1048576.0);
        std::fflush(stdout);
        EXPECT_GT(peak, 0u) << "the system did not report the peak working set";
        EXPECT_LT(peak, kPeakWorkingSetLimit);
    }
};

const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new RobustnessEnvironment);

std::string shownWith(const std::string& utf8, std::size_t originalLength)
{
    std::string shown;
    for (std::size_t i = 0; i < utf8.size() && shown.size() < 200; ++i) {
        const unsigned char ch = static_cast<unsigned char>(utf8[i]);
        if (ch < 0x20 || ch == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", ch);
            shown += escaped;
        } else {
            shown += static_cast<char>(ch);
        }
    }
    if (shown.size() >= 200)
        shown += "... (" + std::to_string(originalLength) + " characters)";
    return "\"" + shown + "\"";
}
}

void BeginInput(const std::string& target, std::size_t index)
{
    std::map<std::string, std::size_t>::iterator found = counts().find(target);
    if (found == counts().end()) {
        order().push_back(target);
        found = counts().insert(std::make_pair(target, std::size_t(0))).first;
    }
    ++found->second;
    std::strncpy(g_target, target.c_str(), sizeof g_target - 1);
    g_index = static_cast<LONG>(index);
    InterlockedIncrement(&g_sequence);
}

std::size_t InputCount(const std::string& target)
{
    std::map<std::string, std::size_t>::const_iterator found = counts().find(target);
    return found == counts().end() ? 0 : found->second;
}

std::size_t PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters;
    std::memset(&counters, 0, sizeof counters);
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
}

std::wstring Utf8RoundTrip(const std::wstring& text)
{
    return PocoWrapper::toWide(PocoWrapper::toUtf8(text));
}

std::string Shown(const std::wstring& text)
{
    std::wstring visible(text);
    for (std::size_t i = 0; i < visible.size(); ++i) {
        if (visible[i] >= 0xD800 && visible[i] <= 0xDFFF)
            visible[i] = L'?';
    }
    std::string utf8;
    for (std::size_t i = 0; i < visible.size() && utf8.size() < 400; ++i)
        utf8 += visible[i] == L'\0' ? std::string(1, '\0') : PocoWrapper::toUtf8(visible.substr(i, 1));
    return shownWith(utf8, text.size());
}

std::string Shown(const std::string& bytes)
{
    return shownWith(bytes.substr(0, 400), bytes.size());
}
