#include "ProbeCommands.h"

#include <windows.h>

#include "PocoWrapper/String.h"
#include "support/TestFiles.h"

namespace {
std::wstring testFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(0, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\'));
}

bool waitUntil(bool (*done)(const std::wstring&, int), const std::wstring& path, int count)
{
    for (int waited = 0; waited < 60000; waited += 50) {
        if (done(path, count))
            return true;
        Sleep(50);
    }
    return done(path, count);
}

bool fileExists(const std::wstring& path, int)
{
    return PathExists(path);
}

bool countReached(const std::wstring& path, int count)
{
    return ReadCount(path) >= count;
}
}

std::wstring ProbePath()
{
    return testFolder() + L"\\command-probe.exe";
}

std::wstring Probe64Path()
{
    return testFolder() + L"\\command-probe64.exe";
}

std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

std::wstring ProbeCommand(const std::wstring& options)
{
    return Quoted(ProbePath()) + L" " + options;
}

int ReadCount(const std::wstring& counterFile)
{
    if (!PathExists(counterFile))
        return 0;
    try {
        return std::stoi(ReadBytes(counterFile));
    } catch (const std::exception&) {
        return 0; // being written right now
    }
}

std::wstring ReadProbeText(const std::wstring& file)
{
    return PocoWrapper::toWide(ReadBytes(file));
}

bool WaitForFile(const std::wstring& path)
{
    return waitUntil(fileExists, path, 0);
}

bool WaitForCount(const std::wstring& counterFile, int count)
{
    return waitUntil(countReached, counterFile, count);
}

std::vector<std::wstring> RunnerLines(const RecordingContext& context)
{
    const std::wstring prefix = L"RunCommand: ";
    std::vector<std::wstring> lines;
    for (size_t i = 0; i < context.lines.size(); ++i) {
        const std::wstring& text = context.lines[i].text;
        if (context.lines[i].level == 2 && text.compare(0, prefix.size(), prefix) == 0)
            lines.push_back(text.substr(prefix.size()));
    }
    return lines;
}
