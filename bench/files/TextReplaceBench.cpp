// LMRXTextReplace called through the Verrand.dll export on generated files,
// each figure against a limit measured in the same run, and every edited
// file checked against a plain replacement of the same text:
// - 100 MB of short lines (a match on every tenth), against CopyFileW over
//   a copy made just before (the edit, too, replaces a file just copied);
// - the same text without a single line feed, against the same;
// - the edit of the 100 MB of short lines given an invocation-data folder
//   (the original is kept there for the rollback twin), and that twin
//   putting the original back, each against the same copy. The edit
//   flushes its rollback signal to the disk before it touches the file;
//   under Wine on ext4 that flush commits the file system's journal, which
//   first writes out the data of every file written since the last commit.
//   So the copy the edit starts from is written out beforehand, and the
//   flush costs what the edit itself asks for;
// - 20 MB of "a" searched for 9,999 "a"s and a "b" (a naive search
//   compares almost the whole search text at every place), against a
//   search for 9 "a"s and a "b";
// - the peak working set of one edit of each 100 MB file, each measured in
//   a process of its own: the file is streamed, so neither grows with the
//   file or with the length of its lines;
// - where the time of the edit of each 100 MB file goes: the file read in
//   its chunks, then also split into lines, then also searched and
//   replaced, then also written to a new file (the edit's steps up to the
//   rename that puts the new file in place), each against the same copy.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <boost/shared_ptr.hpp>

#include "actions/files/LineFiles.h"
#include "actions/files/LineReplacement.h"
#include "actions/files/LineStream.h"
#include "core/Action.h"
#include "support/BenchReport.h"
#include "support/Programs.h"
#include "support/QuietContext.h"

namespace {

const size_t kLines = 1500000;
const size_t kLetters = 20 * 1000 * 1000;
const int kRuns = 5;
const char* const kCopyLimit = "CopyFileW of the same file over an earlier copy";
const char* const kReplacement = "C:/Program Files/Example App";

enum Shape { ShortLines, OneLine, Letters };

// The generated text in pieces of about 1 MB: about 70 bytes a line,
// "INSTALLDIR" on every tenth line (in place of each line feed a blank for
// the one-line file); or 20 MB of "a". With `replaced`, the text that a
// plain replacement of INSTALLDIR makes of it, with the line feed that ends
// the last line.
void generate(Shape shape, bool replaced, const std::function<void(const std::string&)>& take)
{
    std::string chunk;
    if (shape == Letters) {
        for (size_t done = 0; done < kLetters; done += chunk.size()) {
            chunk.assign(std::min<size_t>(1 << 20, kLetters - done), 'a');
            take(chunk);
        }
        if (replaced)
            take("\n");
        return;
    }
    const std::string word = replaced ? kReplacement : "INSTALLDIR";
    const char end = shape == ShortLines ? '\n' : ' ';
    char line[160];
    for (size_t i = 0; i < kLines; ++i) {
        if (i % 10 == 0)
            std::snprintf(line, sizeof(line), "  <setting name=\"path%07u\" value=\"%s\\bin\" kind=\"dir\" />%c",
                          static_cast<unsigned>(i), word.c_str(), end);
        else
            std::snprintf(line, sizeof(line), "  <setting name=\"key%07u\" value=\"some ordinary value %07u\" />%c",
                          static_cast<unsigned>(i), static_cast<unsigned>(i), end);
        chunk += line;
        if (chunk.size() >= (1 << 20) || i + 1 == kLines) {
            take(chunk);
            chunk.clear();
        }
    }
    if (replaced && shape == OneLine)
        take("\n");
}

// FNV-1a over a byte stream.
struct Digest {
    unsigned long long value = 1469598103934665603ull;
    unsigned long long bytes = 0;
    void add(const char* data, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
            value = (value ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
        bytes += size;
    }
    bool operator==(const Digest& other) const { return value == other.value && bytes == other.bytes; }
};

Digest expectedDigest(Shape shape, bool replaced)
{
    Digest digest;
    generate(shape, replaced, [&](const std::string& chunk) { digest.add(chunk.data(), chunk.size()); });
    return digest;
}

Digest fileDigest(const std::wstring& path)
{
    Digest digest;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return digest;
    std::vector<char> buffer(1 << 20);
    DWORD read = 0;
    while (ReadFile(file, &buffer[0], static_cast<DWORD>(buffer.size()), &read, 0) && read > 0)
        digest.add(&buffer[0], read);
    CloseHandle(file);
    return digest;
}

bool write(const std::wstring& path, Shape shape, unsigned long long& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    bytes = 0;
    generate(shape, false, [&](const std::string& chunk) {
        DWORD written = 0;
        ok = ok && WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, 0) &&
             written == chunk.size();
        bytes += chunk.size();
    });
    CloseHandle(file);
    return ok;
}

ActionFunction loadAction(const char* name)
{
    HMODULE verrand = LoadLibraryW(L"Verrand.dll");
    return verrand ? reinterpret_cast<ActionFunction>(GetProcAddress(verrand, name)) : 0;
}

// The edit (or its twin, which takes the same arguments); with a state
// folder the original is kept there.
int replaceOnce(ActionFunction replace, const std::wstring& path, const std::wstring& search,
                const std::wstring& stateFolder = std::wstring())
{
    QuietContext::Values arguments;
    arguments[L"File"] = path;
    arguments[L"SearchWord"] = search;
    arguments[L"ReplaceWord"] = L"C:\\Program Files\\Example App\\";
    arguments[L"Attributes"] = L"6";
    if (!stateFolder.empty())
        arguments[L"$action.invocationdata.dir"] = stateFolder;
    boost::shared_ptr<QuietContext> context(new QuietContext(arguments));
    return replace(context);
}

// Takes the lines and forgets them, counting the units.
class CountingSink : public LineSink<unsigned char> {
public:
    void lines(const unsigned char*, std::size_t size) { units += size; }
    void text(const unsigned char*, std::size_t size) { units += size; }
    void endLine(LineEnding) { ++units; }
    unsigned long long units = 0;
};

class NoReport : public ReplacementReport {
public:
    void lineDone(std::size_t) {}
};

enum Phase { Reading, Splitting, Replacing, Writing };
const char* const kPhaseNames[] = { "read in chunks", "read and split into lines", "read, split and replaced",
                                    "read, split, replaced and written to a new file" };

// The edit's steps up to `last`, on the file at `path`, as the edit takes
// them (a file in UTF-8 or a single-byte encoding); `written` names the
// new file, which must not exist yet.
void runPhases(Phase last, const std::wstring& path, const std::wstring& written)
{
    ChunkReader input(path);
    input.next();
    if (last == Reading) {
        unsigned long long bytes = 0;
        do
            bytes += input.size();
        while (input.next());
        return;
    }
    CountingSink counter;
    const LineUnits<unsigned char> units = ByteLineUnits();
    if (last == Splitting) {
        StreamLines(input, 0, units, counter);
        return;
    }
    NoReport report;
    std::vector<ReplaceChain<unsigned char>::Entry> entries(1);
    entries[0].search = ByteUnitsOf(L"INSTALLDIR");
    entries[0].replacement = ByteUnitsOf(L"C:/Program Files/Example App");
    entries[0].report = &report;
    if (last == Replacing) {
        ReplaceChain<unsigned char> chain(entries, units, counter);
        StreamLines(input, 0, units, chain);
        return;
    }
    BufferedFileWriter output(written);
    LineOutput<unsigned char> writer(output, units, false);
    ReplaceChain<unsigned char> chain(entries, units, writer);
    StreamLines(input, 0, units, chain);
    output.close();
}

class Bench {
public:
    Bench(ActionFunction replace, ActionFunction rollback, const std::wstring& folder)
        : m_replace(replace), m_rollback(rollback), m_folder(folder), m_ok(true)
    {
    }

    // Best of the runs: the edit of a fresh copy of the file, and a plain
    // copy of it; the edited file is checked after every run.
    void timeEdit(Shape shape, const std::wstring& search, double& editSeconds, double* copySeconds,
                  unsigned long long& bytes)
    {
        const std::wstring source = m_folder + L"\\source.txt";
        const std::wstring copy = m_folder + L"\\copy.txt";
        const std::wstring edited = m_folder + L"\\edited.txt";
        if (!write(source, shape, bytes))
            return fail("cannot write the generated file");
        const Digest expected = expectedDigest(shape, true);
        // The edit replaces a file of the same size, copied there just
        // before; so does every timed copy. Never a first copy to a free name
        // (that one gives back no old file's pages, and would win every
        // best-of), nor one over a copy made a while before: the system gives
        // back the pages of a file it has written out already faster than
        // those of one just written, by a third of the copy on this kind of
        // machine.
        for (int run = 0; run < kRuns; ++run) {
            if (copySeconds) {
                CopyFileW(source.c_str(), copy.c_str(), FALSE);
                const double c = SecondsOf([&] { CopyFileW(source.c_str(), copy.c_str(), FALSE); });
                *copySeconds = run == 0 || c < *copySeconds ? c : *copySeconds;
            }
            CopyFileW(source.c_str(), edited.c_str(), FALSE);
            int status = 1;
            const double e = SecondsOf([&] { status = replaceOnce(m_replace, edited, search); });
            editSeconds = run == 0 || e < editSeconds ? e : editSeconds;
            if (status != 0 || !(fileDigest(edited) == expected))
                return fail("the edited file differs from a plain replacement");
        }
        DeleteFileW(source.c_str());
        DeleteFileW(copy.c_str());
        DeleteFileW(edited.c_str());
    }

    // Puts what the system still holds of a file on the disk.
    static void writeOut(const std::wstring& path)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
        if (file != INVALID_HANDLE_VALUE) {
            FlushFileBuffers(file);
            CloseHandle(file);
        }
    }

    // Best of the runs: the edit of a fresh copy keeping the original in a
    // fresh state folder, and the twin putting it back; the edited and the
    // restored file are checked after every run.
    void timeKeptEdit(double& editSeconds, double& rollbackSeconds)
    {
        const std::wstring source = m_folder + L"\\source.txt";
        const std::wstring edited = m_folder + L"\\edited.txt";
        const std::wstring state = m_folder + L"\\state";
        unsigned long long bytes = 0;
        if (!write(source, ShortLines, bytes))
            return fail("cannot write the generated file");
        const Digest expected = expectedDigest(ShortLines, true);
        const Digest original = expectedDigest(ShortLines, false);
        for (int run = 0; run < kRuns; ++run) {
            CopyFileW(source.c_str(), edited.c_str(), FALSE);
            writeOut(edited);
            int status = 1;
            const double e = SecondsOf([&] { status = replaceOnce(m_replace, edited, L"INSTALLDIR", state); });
            editSeconds = run == 0 || e < editSeconds ? e : editSeconds;
            if (status != 0 || !(fileDigest(edited) == expected))
                return fail("the edited file differs from a plain replacement");
            const double r = SecondsOf([&] { status = replaceOnce(m_rollback, edited, L"INSTALLDIR", state); });
            rollbackSeconds = run == 0 || r < rollbackSeconds ? r : rollbackSeconds;
            if (status != 0 || !(fileDigest(edited) == original))
                return fail("the rolled back file differs from the original");
        }
        RemoveDirectoryW(state.c_str());
        DeleteFileW(source.c_str());
        DeleteFileW(edited.c_str());
    }

    // The peak working set of one edit in a process of its own, in MiB
    // above the process's working set before the edit.
    double peakOfEdit(Shape shape)
    {
        const std::wstring source = m_folder + L"\\memory.txt";
        unsigned long long bytes = 0;
        if (!write(source, shape, bytes)) {
            fail("cannot write the generated file");
            return 0;
        }
        double mib = 0;
        if (!RunSelfForResult(L"--memory \"" + source + L"\"", mib))
            fail("the memory run failed");
        if (!(fileDigest(source) == expectedDigest(shape, true)))
            fail("the edited file differs from a plain replacement");
        DeleteFileW(source.c_str());
        return mib;
    }

    // Best of the runs of each phase of the edit of the file.
    void timePhases(Shape shape, double (&seconds)[4])
    {
        const std::wstring source = m_folder + L"\\phases.txt";
        const std::wstring written = m_folder + L"\\phases.tmp";
        unsigned long long bytes = 0;
        if (!write(source, shape, bytes))
            return fail("cannot write the generated file");
        for (int run = 0; run < kRuns; ++run) {
            for (int phase = Reading; phase <= Writing; ++phase) {
                DeleteFileW(written.c_str());
                const double s = SecondsOf([&] { runPhases(static_cast<Phase>(phase), source, written); });
                seconds[phase] = run == 0 || s < seconds[phase] ? s : seconds[phase];
            }
        }
        if (!(fileDigest(written) == expectedDigest(shape, true)))
            fail("the file the phases wrote differs from a plain replacement");
        DeleteFileW(source.c_str());
        DeleteFileW(written.c_str());
    }

    bool ok() const { return m_ok; }

private:
    void fail(const char* why)
    {
        std::printf("text-replace bench: %s\n", why);
        m_ok = false;
    }

    ActionFunction m_replace;
    ActionFunction m_rollback;
    std::wstring m_folder;
    bool m_ok;
};

// The child of peakOfEdit: one edit, then the growth of the peak working set.
int memoryRun(ActionFunction replace, const wchar_t* path, const wchar_t* result)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    const size_t before = counters.WorkingSetSize;
    if (replaceOnce(replace, path, L"INSTALLDIR") != 0)
        return 1;
    return WriteResult(result, (PeakWorkingSetBytes() - before) / (1024.0 * 1024.0)) ? 0 : 1;
}

std::wstring tempFolder()
{
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = std::wstring(temp, length) + L"verrand-text-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), 0);
    return folder;
}
}

int main()
{
    const ActionFunction replace = loadAction("LMRXTextReplace");
    const ActionFunction rollback = loadAction("RollbackLMRXTextReplace");
    if (!replace || !rollback) {
        std::printf("text-replace bench: LMRXTextReplace or its twin is missing\n");
        return 1;
    }
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count == 4 && std::wstring(arguments[1]) == L"--memory")
        return memoryRun(replace, arguments[2], arguments[3]);

    const std::wstring folder = tempFolder();
    Bench bench(replace, rollback, folder);
    unsigned long long bytes = 0;
    double lines = 0, linesCopy = 0, oneLine = 0, oneLineCopy = 0, longSearch = 0, shortSearch = 0;
    bench.timeEdit(ShortLines, L"INSTALLDIR", lines, &linesCopy, bytes);
    ReportFigure("LMRXTextReplace on a 100 MB file", lines, "s", kCopyLimit, linesCopy);
    ReportValue("LMRXTextReplace throughput", bytes / 1e6 / lines, "MB/s");
    bench.timeEdit(OneLine, L"INSTALLDIR", oneLine, &oneLineCopy, bytes);
    ReportFigure("LMRXTextReplace on a 100 MB file without a line feed", oneLine, "s", kCopyLimit, oneLineCopy);
    double keptEdit = 0, restore = 0;
    bench.timeKeptEdit(keptEdit, restore);
    ReportFigure("LMRXTextReplace on a 100 MB file, keeping the original for its twin", keptEdit, "s", kCopyLimit,
                 linesCopy);
    ReportFigure("RollbackLMRXTextReplace of that edit", restore, "s", kCopyLimit, linesCopy);
    bench.timeEdit(Letters, std::wstring(9999, L'a') + L"b", longSearch, 0, bytes);
    bench.timeEdit(Letters, std::wstring(9, L'a') + L"b", shortSearch, 0, bytes);
    ReportFigure("LMRXTextReplace on 20 MB of a, searching 9,999 a and b", longSearch, "s",
                 "the same, searching 9 a and b", shortSearch);
    for (Shape shape : { ShortLines, OneLine }) {
        double phases[4] = {};
        bench.timePhases(shape, phases);
        const std::string file = shape == ShortLines ? "100 MB of short lines" : "100 MB without a line feed";
        for (int phase = Reading; phase <= Writing; ++phase)
            ReportFigure("text-replace phases, " + file + ": " + kPhaseNames[phase], phases[phase], "s", kCopyLimit,
                         shape == ShortLines ? linesCopy : oneLineCopy);
    }
    const double linesPeak = bench.peakOfEdit(ShortLines);
    const double oneLinePeak = bench.peakOfEdit(OneLine);
    ReportValue("text-replace peak working set, 100 MB of short lines", linesPeak, "MiB");
    ReportFigure("text-replace peak working set, 100 MB without a line feed", oneLinePeak, "MiB",
                 "the same for 100 MB of short lines", linesPeak);
    ReportPeakMemory("text-replace bench");
    RemoveDirectoryW(folder.c_str());
    return bench.ok() ? 0 : 1;
}
