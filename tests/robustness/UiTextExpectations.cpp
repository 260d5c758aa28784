#include "UiTextExpectations.h"

#include <algorithm>
#include <cstring>

#include <Poco/Message.h>

#include <rapidxml/rapidxml.hpp>

#include "PocoWrapper/String.h"
#include "uitext/XmlNesting.h"

namespace {
typedef rapidxml::xml_node<char> Node;
typedef rapidxml::xml_attribute<char> Attribute;

bool named(const Node& node, const char* name)
{
    return node.name_size() == std::strlen(name) && std::memcmp(node.name(), name, node.name_size()) == 0;
}

std::string valueOf(const Attribute& attribute)
{
    return std::string(attribute.value(), attribute.value_size());
}

class Expectation {
public:
    explicit Expectation(UiTextExpectation& result) : m_result(result) {}

    void debug(const std::string& text) { add(Poco::Message::PRIO_DEBUG, text); }
    // The install log writes its error lines behind "Error: ".
    void error(const std::string& text) { add(Poco::Message::PRIO_ERROR, "Error: " + text); }
    bool fail(const std::string& text)
    {
        error(text);
        m_result.loads = false;
        return false;
    }

private:
    void add(int priority, const std::string& text)
    {
        ExpectedLine line = { priority, text };
        m_result.lines.push_back(line);
    }

    UiTextExpectation& m_result;
};

// The children of the root, as the loader is to walk them. False when the
// walk ends the load.
bool walkRoot(const Node& root, const std::wstring& path, const std::wstring& language, Expectation& expect,
              std::size_t& strings, StringMap& map)
{
    bool languageSeen = false;
    bool contextSeen = false;
    for (const Node* child = root.first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        if (named(*child, "language")) {
            if (languageSeen)
                expect.error("getStringMap(): multiple language elements found.");
            languageSeen = true;
            const Attribute* langcode = child->first_attribute("langcode");
            if (!langcode)
                return expect.fail("getStringMap(): language element missing langcode attribute.");
            const std::wstring code = PocoWrapper::toWide(valueOf(*langcode));
            if (code != language)
                return expect.fail(PocoWrapper::toUtf8(L"Locale mismatch: current [" + language +
                                                       L"], locale in file: [" + path + L"] : [" + code + L"]"));
        } else if (named(*child, "context")) {
            if (contextSeen)
                expect.error("getStringMap(): multiple context elements found.");
            contextSeen = true;
            std::size_t count = 0;
            for (const Node* string = child->first_node(); string; string = string->next_sibling()) {
                if (string->type() != rapidxml::node_element || !named(*string, "string"))
                    continue;
                ++count;
                if (!string->first_attribute("id"))
                    return expect.fail("getStringMap(): language element missing id attribute.");
                if (!string->first_attribute("value"))
                    return expect.fail("getStringMap(): language element missing value attribute.");
                map.set(PocoWrapper::toLower(PocoWrapper::toWide(valueOf(*string->first_attribute("id")))),
                        PocoWrapper::toWide(valueOf(*string->first_attribute("value"))));
            }
            strings += count;
            expect.debug("Number of strings parsed: " + std::to_string(count));
        } else {
            expect.error("getStringMap(): unrecognized element: " + std::string(child->name(), child->name_size()));
        }
    }
    return true;
}
}

UiTextExpectation ExpectUiTextLoad(const std::string& bytes, const std::wstring& path, const std::wstring& language,
                                   std::size_t tooDeepAt)
{
    UiTextExpectation result;
    result.loads = true;
    result.strings = 0;
    Expectation expect(result);
    expect.debug(PocoWrapper::toUtf8(L"Parsing file: " + path));

    // A file nested too deeply reads as if it ended where the element that
    // goes too deep begins; an error before that point is reported as it is.
    std::vector<char> buffer(bytes.begin(), bytes.begin() + std::min(tooDeepAt, bytes.size()));
    buffer.push_back('\0');
    rapidxml::xml_document<char> document;
    try {
        document.parse<0>(&buffer[0]);
        if (tooDeepAt != std::string::npos) {
            // Cannot be: the parse must stop at the cut. Fails the comparison.
            expect.fail("(a file built to nest too deeply parsed without error)");
            return result;
        }
    } catch (const rapidxml::parse_error& e) {
        // Lines are counted in the file as it was read: the parse rewrites
        // the buffer behind its position.
        const std::size_t offset = e.where<char>() - &buffer[0];
        const std::size_t line = 1 + std::count(bytes.begin(), bytes.begin() + std::min(offset, bytes.size()), '\n');
        const std::string message = offset == tooDeepAt
                                        ? "elements nested deeper than " + std::to_string(MaxXmlNesting)
                                        : e.what();
        expect.error("Parse error in file " + PocoWrapper::toUtf8(path) + ", line: " + std::to_string(line));
        expect.fail("Error - " + message);
        return result;
    }
    const Node* root = document.first_node("uitext");
    if (!root) {
        expect.fail("This file does not have a root named 'uitext'");
        return result;
    }
    result.map.reset(new StringMap);
    walkRoot(*root, path, language, expect, result.strings, *result.map);
    return result;
}

std::string CompareLines(const std::vector<ExpectedLine>& expected, const std::vector<InstallLogLine>& recorded)
{
    std::string differences;
    const std::size_t common = std::min(expected.size(), recorded.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (expected[i].priority != recorded[i].priority || expected[i].text != recorded[i].text) {
            differences += "line " + std::to_string(i) + ": expected [" + std::to_string(expected[i].priority) + "] " +
                           expected[i].text.substr(0, 300) + "\n   recorded [" +
                           std::to_string(recorded[i].priority) + "] " + recorded[i].text.substr(0, 300) + "\n";
            break;
        }
    }
    if (expected.size() != recorded.size()) {
        differences += "expected " + std::to_string(expected.size()) + " lines, recorded " +
                       std::to_string(recorded.size()) + "\n";
        for (std::size_t i = common; i < recorded.size() && i < common + 3; ++i)
            differences += "   extra recorded: " + recorded[i].text.substr(0, 300) + "\n";
        for (std::size_t i = common; i < expected.size() && i < common + 3; ++i)
            differences += "   missing: " + expected[i].text.substr(0, 300) + "\n";
    }
    return differences;
}
