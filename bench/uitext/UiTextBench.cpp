// Loads a uitext file of 10,000 strings and compares the time with reading
// the file as the loader reads it (one ReadFile into a buffer) and a bare
// in-place parse of those bytes, then translates 100,000 strings with two
// or three references each and reports the rate; and measures the peak
// working set of loading a 10 MB uitext file, in a process of its own,
// beside the file's size. The loaded maps are checked to hold every string
// and the translations to have every reference resolved.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <rapidxml/rapidxml.hpp>
#include <rapidxml/rapidxml_utils.hpp>

#include "PocoWrapper/String.h"
#include "support/BenchReport.h"
#include "support/Programs.h"
#include "uitext/BasicStringLibrary.h"
#include "uitext/StringFormatter.h"
#include "uitext/UiTextMap.h"
#include "uitext/XmlFile.h"

namespace {
const int kStrings = 10000;
const int kTranslations = 100000;
const int kRuns = 5;
const std::size_t kLargeFile = 10 * 1000 * 1000;

std::string identifierOf(int i)
{
    return "Setup.Page" + std::to_string(i / 100) + ".Label_" + std::to_string(i);
}

std::string plainValueOf(int i)
{
    return "Label text number " + std::to_string(i) + " for the \"setup\" page";
}

// Every tenth string refers to two others, so loading and translating both
// meet nested references. `strings` 0 means as many as fit in `bytes`.
std::string uitextFile(int strings, std::size_t bytes, int& written)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<uitext>\n  <language langcode=\"en\"/>\n  <context>\n";
    int i = 0;
    for (; strings ? i < strings : text.size() < bytes; ++i) {
        text += "    <string id=\"" + identifierOf(i) + "\" value=\"";
        if (i % 10 == 0)
            text += "See #Setup.Page0.Label_" + std::to_string((i + 1) % 100) + "# &amp; #Setup.Page0.Label_" +
                    std::to_string((i + 7) % 100) + "#";
        else
            text += "Label text number " + std::to_string(i) + " for the &quot;setup&quot; page";
        text += "\"/>\n";
    }
    written = i;
    return text + "  </context>\n</uitext>\n";
}

// True when the map holds each of the file's strings under its folded
// identifier, with its text.
bool holdsEveryString(const StringMap& strings, int count)
{
    if (strings.size() != static_cast<std::size_t>(count))
        return false;
    for (int i = 0; i < count; ++i) {
        const std::wstring key = PocoWrapper::toLower(PocoWrapper::toWide(identifierOf(i)));
        StoredText found;
        if (!strings.find(key.data(), key.size(), found) || (i % 10 && found.str() != PocoWrapper::toWide(plainValueOf(i))))
            return false;
    }
    return true;
}

std::wstring identifier(long long i)
{
    i %= kStrings;
    return L"#setup.page" + std::to_wstring(i / 100) + L".LABEL_" + std::to_wstring(i) + L"#";
}

// Two references, or three for every other string, spread over the file.
std::wstring translationInput(long long n)
{
    std::wstring text = L"Step " + std::to_wstring(n) + L": " + identifier(n * 7919) + L" then " + identifier(n * 104729);
    if (n % 2)
        text += L" (" + identifier(n * 31) + L")";
    return text;
}

std::wstring temporaryFile(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

// The child of the memory row: one load, then the growth of the peak
// working set over the working set before it, in MiB.
int memoryRun(const wchar_t* path, int expected, const wchar_t* result)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    const std::size_t before = counters.WorkingSetSize;
    const boost::shared_ptr<StringMap> strings = getStringMap(path, L"en");
    const double mib = (PeakWorkingSetBytes() - before) / (1024.0 * 1024.0);
    if (!strings || !holdsEveryString(*strings, expected))
        return 1;
    return WriteResult(result, mib) ? 0 : 1;
}

// The peak working set of loading a 10 MB file, in a process of its own.
bool largeFilePeak(double& peak, double& fileMiB)
{
    const std::wstring path = temporaryFile(L"uitext-bench-large.uitext");
    int strings = 0;
    const std::string text = uitextFile(0, kLargeFile, strings);
    std::ofstream(path.c_str(), std::ios::binary) << text;
    fileMiB = text.size() / (1024.0 * 1024.0);
    const bool ok = RunSelfForResult(L"--memory \"" + path + L"\" " + std::to_wstring(strings), peak);
    DeleteFileW(path.c_str());
    return ok;
}
}

int main()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count == 5 && std::wstring(arguments[1]) == L"--memory")
        return memoryRun(arguments[2], std::stoi(arguments[3]), arguments[4]);

    const std::wstring path = temporaryFile(L"uitext-bench.uitext");
    int strings = 0;
    std::ofstream(path.c_str(), std::ios::binary) << uitextFile(kStrings, 0, strings);

    // The limit: the loader's own read, then the bare parse of its bytes;
    // the best run of the two together. Loads and limits take turns.
    size_t nodes = 0;
    double read = 0;
    double parse = 0;
    double load = 0;
    boost::shared_ptr<StringMap> loaded;
    for (int run = 0; run < kRuns; ++run) {
        loaded.reset(); // the last map's release is no part of a load
        const double loading = SecondsOf([&] { loaded = getStringMap(path, L"en"); });
        load = run == 0 ? loading : std::min(load, loading);
        boost::shared_ptr<FileBytes> bytes;
        const double reading = SecondsOf([&] { bytes = ReadWholeFile(path); });
        const double parsing = SecondsOf([&] {
            rapidxml::xml_document<char> document;
            document.parse<0>(bytes->data());
            nodes = rapidxml::count_children(document.first_node("uitext")->first_node("context"));
        });
        if (run == 0 || reading + parsing < read + parse) {
            read = reading;
            parse = parsing;
        }
    }
    if (!loaded || !holdsEveryString(*loaded, kStrings) || nodes < static_cast<size_t>(kStrings)) {
        std::printf("uitext bench: the loaded map does not hold every string\n");
        return 1;
    }
    ReportFigure("uitext load of 10,000 strings into a map", load * 1000, "ms",
                 "read + bare rapidxml parse of the same file", (read + parse) * 1000);
    ReportValue("uitext limit: the file read with one ReadFile into a buffer", read * 1000, "ms");
    ReportValue("uitext limit: bare in-place rapidxml parse of those bytes", parse * 1000, "ms");

    const boost::shared_ptr<IStringLibrary> library(new BasicStringLibrary(path, L"en"));
    std::vector<std::wstring> inputs;
    for (int n = 0; n < kTranslations; ++n)
        inputs.push_back(translationInput(n));
    std::vector<std::wstring> outputs(inputs.size());
    const double translating = BestSecondsOf([&] {
        for (std::size_t n = 0; n < inputs.size(); ++n)
            outputs[n] = BasicFormatString(inputs[n], library);
    }, 3);
    for (const std::wstring& output : outputs) {
        if (output.find(L'#') != std::wstring::npos || output.find(L"Label text number") == std::wstring::npos) {
            std::printf("uitext bench: a translation kept a reference\n");
            return 1;
        }
    }
    ReportValue("uitext translation, 2-3 references each", kTranslations / translating, "strings/s");
    DeleteFileW(path.c_str());

    double peak = 0;
    double fileMiB = 0;
    if (!largeFilePeak(peak, fileMiB)) {
        std::printf("uitext bench: the 10 MB load failed or lost strings\n");
        return 1;
    }
    ReportFigure("uitext load of a 10 MB file, peak working set growth", peak, "MiB", "the file's size", fileMiB);
    ReportPeakMemory("uitext bench");
    return 0;
}
