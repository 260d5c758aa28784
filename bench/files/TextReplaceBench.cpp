// LMRXTextReplace on a generated 100 MB text file (a match on every tenth
// line), called through the Verrand.dll export, against a plain CopyFileW of
// the same file in the same run; and the process's peak memory, which stays
// flat because the file is streamed.
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "core/IActionContext.h"
#include "support/BenchReport.h"
#include "support/QuietContext.h"

namespace {
typedef int(__stdcall* ActionFunction)(boost::shared_ptr<IActionContext>);

const size_t kLines = 1500000;
const int kRuns = 3;

std::wstring tempFolder()
{
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = std::wstring(temp, length) + L"verrand-text-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), 0);
    return folder;
}

// About 70 bytes a line, "INSTALLDIR" on every tenth one.
bool generate(const std::wstring& path, unsigned long long& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string chunk;
    bytes = 0;
    bool ok = true;
    char line[128];
    for (size_t i = 0; i < kLines && ok; ++i) {
        if (i % 10 == 0)
            std::snprintf(line, sizeof(line), "  <setting name=\"path%07u\" value=\"INSTALLDIR\\bin\" kind=\"dir\" />\n",
                          static_cast<unsigned>(i));
        else
            std::snprintf(line, sizeof(line), "  <setting name=\"key%07u\" value=\"some ordinary value %07u\" />\n",
                          static_cast<unsigned>(i), static_cast<unsigned>(i));
        chunk += line;
        if (chunk.size() >= (1 << 20) || i + 1 == kLines) {
            DWORD written = 0;
            ok = WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, 0) && written == chunk.size();
            bytes += chunk.size();
            chunk.clear();
        }
    }
    CloseHandle(file);
    return ok;
}
}

int main()
{
    HMODULE verrand = LoadLibraryW(L"Verrand.dll");
    ActionFunction replace = verrand ? reinterpret_cast<ActionFunction>(GetProcAddress(verrand, "LMRXTextReplace")) : 0;
    if (!replace) {
        std::printf("text-replace bench: LMRXTextReplace is missing\n");
        return 1;
    }
    const std::wstring folder = tempFolder();
    const std::wstring source = folder + L"\\source.xml";
    const std::wstring copy = folder + L"\\copy.xml";
    const std::wstring edited = folder + L"\\edited.xml";
    unsigned long long bytes = 0;
    if (!generate(source, bytes)) {
        std::printf("text-replace bench: cannot write %s\n", "the generated file");
        return 1;
    }
    const size_t peakBefore = PeakWorkingSetBytes();

    double copySeconds = 0;
    double replaceSeconds = 0;
    size_t logLines = 0;
    int status = 0;
    for (int run = 0; run < kRuns; ++run) {
        const double c = SecondsOf([&] { CopyFileW(source.c_str(), copy.c_str(), FALSE); });
        CopyFileW(source.c_str(), edited.c_str(), FALSE);
        QuietContext::Values arguments;
        arguments[L"File"] = edited;
        arguments[L"SearchWord"] = L"INSTALLDIR";
        arguments[L"ReplaceWord"] = L"C:\\Program Files\\Example App\\";
        arguments[L"Attributes"] = L"6";
        boost::shared_ptr<QuietContext> context(new QuietContext(arguments));
        const double r = SecondsOf([&] { status = replace(context); });
        logLines = context->lines;
        if (run == 0 || c < copySeconds)
            copySeconds = c;
        if (run == 0 || r < replaceSeconds)
            replaceSeconds = r;
    }
    const size_t peakAfter = PeakWorkingSetBytes();

    std::printf("text-replace bench: %.1f MB, %u lines, status %d, %u log lines\n", bytes / 1e6,
                static_cast<unsigned>(kLines), status, static_cast<unsigned>(logLines));
    ReportFigure("LMRXTextReplace on a 100 MB file", replaceSeconds, "s", "CopyFileW of the same file", copySeconds);
    ReportValue("LMRXTextReplace throughput", bytes / 1e6 / replaceSeconds, "MB/s");
    ReportValue("peak memory growth during the runs", (peakAfter - peakBefore) / (1024.0 * 1024.0), "MiB");
    ReportPeakMemory("text-replace bench");

    DeleteFileW(source.c_str());
    DeleteFileW(copy.c_str());
    DeleteFileW(edited.c_str());
    RemoveDirectoryW(folder.c_str());
    return status == 0 ? 0 : 1;
}
