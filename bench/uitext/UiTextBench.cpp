// Loads a uitext file of 10,000 strings and compares the time with a bare
// in-place parse of the same file, then translates 100,000 strings with two
// or three references each and reports the rate.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <windows.h>

#include <rapidxml/rapidxml.hpp>
#include <rapidxml/rapidxml_utils.hpp>

#include "PocoWrapper/String.h"
#include "support/BenchReport.h"
#include "uitext/BasicStringLibrary.h"
#include "uitext/StringFormatter.h"
#include "uitext/UiTextMap.h"

namespace {
const int kStrings = 10000;
const int kTranslations = 100000;
const int kRuns = 5;

// Every tenth string refers to two others, so loading and translating both
// meet nested references.
std::string uitextFile()
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<uitext>\n  <language langcode=\"en\"/>\n  <context>\n";
    for (int i = 0; i < kStrings; ++i) {
        text += "    <string id=\"Setup.Page" + std::to_string(i / 100) + ".Label_" + std::to_string(i) + "\" value=\"";
        if (i % 10 == 0)
            text += "See #Setup.Page0.Label_" + std::to_string((i + 1) % 100) + "# &amp; #Setup.Page0.Label_" +
                    std::to_string((i + 7) % 100) + "#";
        else
            text += "Label text number " + std::to_string(i) + " for the &quot;setup&quot; page";
        text += "\"/>\n";
    }
    return text + "  </context>\n</uitext>\n";
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

std::wstring temporaryFile()
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"uitext-bench.uitext";
}
}

int main()
{
    const std::wstring path = temporaryFile();
    std::ofstream(path.c_str(), std::ios::binary) << uitextFile();

    size_t nodes = 0;
    const double bare = BestSecondsOf([&] {
        rapidxml::file<char> file(PocoWrapper::toUtf8(path).c_str());
        rapidxml::xml_document<char> document;
        document.parse<0>(file.data());
        nodes = rapidxml::count_children(document.first_node("uitext")->first_node("context"));
    }, kRuns);
    size_t loaded = 0;
    const double load = BestSecondsOf([&] { loaded = getStringMap(path, L"en")->size(); }, kRuns);
    if (loaded != kStrings || nodes < kStrings) {
        std::printf("uitext bench: loaded %lu strings, expected %d\n", static_cast<unsigned long>(loaded), kStrings);
        return 1;
    }
    ReportFigure("uitext load of 10,000 strings into a map", load * 1000, "ms",
                 "read + bare rapidxml parse of the same file", bare * 1000);

    const boost::shared_ptr<IStringLibrary> library(new BasicStringLibrary(path, L"en"));
    std::vector<std::wstring> inputs;
    for (int n = 0; n < kTranslations; ++n)
        inputs.push_back(translationInput(n));
    const double translating = SecondsOf([&] {
        for (const std::wstring& input : inputs)
            BasicFormatString(input, library);
    });
    ReportValue("uitext translation, 2-3 references each", kTranslations / translating, "strings/s");
    ReportPeakMemory("uitext bench");
    DeleteFileW(path.c_str());
    return 0;
}
