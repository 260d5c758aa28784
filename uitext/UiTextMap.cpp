#include "UiTextMap.h"

#include <cstring>

#include "PocoWrapper/String.h"
#include "PlainUiText.h"
#include "XmlFile.h"
#include "log/InstallLog.h"

namespace {
typedef rapidxml::xml_node<char> Node;
typedef rapidxml::xml_attribute<char> Attribute;

bool named(const Node& node, const char* name)
{
    return rapidxml::internal::compare(node.name(), node.name_size(), name, std::strlen(name), true);
}

std::string valueOf(const Attribute& attribute)
{
    return std::string(attribute.value(), attribute.value_size());
}

// False (after the log line) when the element cannot be used.
bool checkLanguage(const Node& element, const std::wstring& path, const std::wstring& language)
{
    const Attribute* langcode = element.first_attribute("langcode");
    if (!langcode) {
        InstallLog::Error("getStringMap(): language element missing langcode attribute.");
        return false;
    }
    const std::wstring code = PocoWrapper::toWide(valueOf(*langcode));
    if (code != language) {
        InstallLog::Error(L"Locale mismatch: current [" + language + L"], locale in file: [" + path + L"] : [" + code +
                          L"]");
        return false;
    }
    return true;
}

bool collectStrings(const Node& context, StringMap& strings)
{
    unsigned long count = 0;
    for (const Node* child = context.first_node("string"); child; child = child->next_sibling("string"))
        ++count;
    strings.reserve(strings.size() + count);
    count = 0;
    for (const Node* child = context.first_node("string"); child; child = child->next_sibling("string")) {
        ++count;
        const Attribute* id = child->first_attribute("id");
        if (!id) {
            InstallLog::Error("getStringMap(): language element missing id attribute.");
            return false;
        }
        const Attribute* value = child->first_attribute("value");
        if (!value) {
            InstallLog::Error("getStringMap(): language element missing value attribute.");
            return false;
        }
        // A later string with the same folded identifier replaces the earlier one.
        strings.set(PocoWrapper::toLower(PocoWrapper::toWide(valueOf(*id))), PocoWrapper::toWide(valueOf(*value)));
    }
    InstallLog::Debug("Number of strings parsed: " + std::to_string(count));
    return true;
}

boost::shared_ptr<FileBytes> readFile(const std::wstring& path)
{
    try {
        return ReadWholeFile(path);
    } catch (...) {
        InstallLog::Error(L"Could not open file " + path);
        return boost::shared_ptr<FileBytes>();
    }
}

// The strings of a file the plain pass can read, with their log lines; null
// when the file needs the parse tree.
boost::shared_ptr<StringMap> readPlainly(FileBytes& bytes, const std::wstring& language)
{
    boost::shared_ptr<StringMap> strings(new StringMap);
    std::vector<UiTextLine> lines;
    if (!ReadPlainUiText(bytes, language, *strings, lines))
        return boost::shared_ptr<StringMap>();
    for (const UiTextLine& line : lines) {
        if (line.error)
            InstallLog::Error(line.text);
        else
            InstallLog::Debug(line.text);
    }
    return strings;
}
}

boost::shared_ptr<StringMap> getStringMap(const std::wstring& path, const std::wstring& language)
{
    InstallLog::Debug(L"Parsing file: " + path);
    boost::shared_ptr<FileBytes> bytes = readFile(path);
    if (!bytes)
        return boost::shared_ptr<StringMap>();
    if (const boost::shared_ptr<StringMap> strings = readPlainly(*bytes, language))
        return strings;
    // The plain pass gave back pages of a large file before it met what it
    // leaves to the parse tree: the file is read again.
    if (bytes->released() && !(bytes = readFile(path)))
        return boost::shared_ptr<StringMap>();
    const XmlFileHandle file = parseXmlFile(bytes, path, "uitext");
    bytes.reset();
    if (!file.document)
        return boost::shared_ptr<StringMap>();

    boost::shared_ptr<StringMap> strings(new StringMap);
    bool languageSeen = false;
    bool contextSeen = false;
    for (const Node* child = file.root->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        if (named(*child, "language")) {
            if (languageSeen)
                InstallLog::Error("getStringMap(): multiple language elements found.");
            languageSeen = true;
            if (!checkLanguage(*child, path, language))
                return boost::shared_ptr<StringMap>();
        } else if (named(*child, "context")) {
            if (contextSeen)
                InstallLog::Error("getStringMap(): multiple context elements found.");
            contextSeen = true;
            if (!collectStrings(*child, *strings))
                return boost::shared_ptr<StringMap>();
        } else {
            InstallLog::Error("getStringMap(): unrecognized element: " + std::string(child->name(), child->name_size()));
        }
    }
    return strings;
}
