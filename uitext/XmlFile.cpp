#include "XmlFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <Poco/FileStream.h>

#include "PocoWrapper/File.h"
#include "PocoWrapper/String.h"
#include "XmlNesting.h"
#include "log/InstallLog.h"

namespace {
typedef std::vector<std::size_t> Offsets;

// Where the line feeds are before parsing. The in-place parse overwrites
// bytes behind it (name terminators, translated entities), so counting in
// the buffer afterwards would give wrong line numbers.
Offsets lineFeedOffsets(const rapidxml::file<char>& file)
{
    Offsets offsets;
    const char* const begin = file.data();
    const char* const end = begin + file.size();
    for (const char* at = begin; at != end;) {
        const char* found = static_cast<const char*>(std::memchr(at, '\n', end - at));
        if (!found)
            break;
        offsets.push_back(found - begin);
        at = found + 1;
    }
    return offsets;
}

std::string lineOf(const Offsets& lineFeeds, std::size_t offset)
{
    const std::size_t before = std::lower_bound(lineFeeds.begin(), lineFeeds.end(), offset) - lineFeeds.begin();
    return std::to_string(before + 1);
}

boost::shared_ptr<rapidxml::file<char> > readWhole(const std::wstring& path)
{
    // Opened by its extended-length form, so that a long path works with
    // either separator.
    Poco::FileInputStream stream(PocoWrapper::toExtendedLengthPath(path), std::ios::in);
    boost::shared_ptr<rapidxml::file<char> > file(new rapidxml::file<char>(stream));
    stream.close();
    return file;
}
}

XmlFileHandle loadXmlFile(const std::wstring& path, const std::string& rootName)
{
    XmlFileHandle handle;
    try {
        handle.file = readWhole(path);
    } catch (...) {
        InstallLog::Error(L"Could not open file " + path);
        return XmlFileHandle();
    }

    const Offsets lineFeeds = lineFeedOffsets(*handle.file);
    handle.document.reset(new rapidxml::xml_document<char>);
    // The parser descends the stack once per nested element. Text nested
    // deeper than that can bear is cut off before the element that goes too
    // deep, so the parse ends there (or at an earlier error) instead of
    // overflowing the stack.
    char* const data = handle.file->data();
    const char* const deep = FindTooDeepElement(data, MaxXmlNesting);
    char* const tooDeep = deep ? data + (deep - data) : 0;
    if (tooDeep)
        *tooDeep = '\0';
    try {
        handle.document->parse<0>(data);
        if (tooDeep)
            throw rapidxml::parse_error("", tooDeep);
    } catch (const rapidxml::parse_error& e) {
        const std::size_t offset = e.where<char>() - data;
        const std::string message = tooDeep && e.where<char>() == tooDeep
                                        ? "elements nested deeper than " + std::to_string(MaxXmlNesting)
                                        : e.what();
        InstallLog::Error("Parse error in file " + PocoWrapper::toUtf8(path) + ", line: " + lineOf(lineFeeds, offset));
        InstallLog::Error("Error - " + message);
        return XmlFileHandle();
    }

    handle.root = handle.document->first_node(rootName.c_str(), rootName.size());
    if (!handle.root) {
        InstallLog::Error("This file does not have a root named '" + rootName + "'");
        return XmlFileHandle();
    }
    return handle;
}
