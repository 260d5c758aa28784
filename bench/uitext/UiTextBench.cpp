// Loads a uitext file of 10,000 strings and compares the time with a bare
// in-place parse of the same file, then translates 100,000 strings with two
// or three references each and reports the rate.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include <windows.h>

#include <rapidxml/rapidxml.hpp>
#include <rapidxml/rapidxml_utils.hpp>

#include "PocoWrapper/String.h"
#include "uitext/BasicStringLibrary.h"
#include "uitext/StringFormatter.h"
#include "uitext/UiTextMap.h"

namespace {
const int kStrings = 10000;
const int kTranslations = 100000;
const int kLoadRounds = 20;

typedef std::chrono::steady_clock Clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

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

std::wstring identifier(int i)
{
    return L"#setup.page" + std::to_wstring(i / 100) + L".LABEL_" + std::to_wstring(i) + L"#";
}

std::wstring translationInput(int n)
{
    std::wstring text = L"Step " + std::to_wstring(n) + L": " + identifier((n * 7919) % kStrings) + L" then " +
                        identifier((n * 104729) % kStrings);
    if (n % 2)
        text += L" (" + identifier((n * 31) % kStrings) + L")";
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
    const std::string content = uitextFile();
    std::ofstream(path.c_str(), std::ios::binary) << content;
    std::printf("uitext file: %d strings, %lu bytes\n", kStrings, static_cast<unsigned long>(content.size()));

    Clock::time_point start = Clock::now();
    size_t nodes = 0;
    for (int round = 0; round < kLoadRounds; ++round) {
        rapidxml::file<char> file(PocoWrapper::toUtf8(path).c_str());
        rapidxml::xml_document<char> document;
        document.parse<0>(file.data());
        nodes += rapidxml::count_children(document.first_node("uitext")->first_node("context"));
    }
    const double bare = millisecondsSince(start) / kLoadRounds;

    start = Clock::now();
    size_t loaded = 0;
    for (int round = 0; round < kLoadRounds; ++round)
        loaded += getStringMap(path, L"en")->size();
    const double full = millisecondsSince(start) / kLoadRounds;
    std::printf("read + bare rapidxml parse: %8.2f ms (%lu nodes)\n", bare, static_cast<unsigned long>(nodes / kLoadRounds));
    std::printf("uitext load into map:       %8.2f ms (%lu strings), %.1fx the bare parse\n", full,
                static_cast<unsigned long>(loaded / kLoadRounds), full / bare);

    const boost::shared_ptr<IStringLibrary> library(new BasicStringLibrary(path, L"en"));
    std::vector<std::wstring> inputs;
    for (int n = 0; n < kTranslations; ++n)
        inputs.push_back(translationInput(n));
    start = Clock::now();
    size_t characters = 0;
    for (const std::wstring& input : inputs)
        characters += BasicFormatString(input, library).size();
    const double translating = millisecondsSince(start);
    std::printf("translated %d strings (2-3 references each) in %.0f ms: %.0f strings/s, %lu characters out\n",
                kTranslations, translating, kTranslations / (translating / 1000), static_cast<unsigned long>(characters));
    DeleteFileW(path.c_str());
    return 0;
}
