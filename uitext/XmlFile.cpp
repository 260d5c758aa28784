#include "XmlFile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include <windows.h>

#include "PocoWrapper/File.h"
#include "PocoWrapper/String.h"
#include "actions/files/LineFiles.h"
#include "core/ByteSearch.h"
#include "XmlNesting.h"
#include "log/InstallLog.h"

namespace {
typedef std::vector<std::size_t> Offsets;

// Where the line feeds are before parsing. The in-place parse overwrites
// bytes behind it (name terminators, translated entities), so counting in
// the buffer afterwards would give wrong line numbers.
Offsets lineFeedOffsets(FileBytes& bytes)
{
    Offsets offsets;
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    for (const char* at = begin; at != end;) {
        const char* found = FindByte(at, end, '\n');
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

}

FileBytes::FileBytes(std::size_t size) : m_data(0), m_size(size), m_released(0)
{
    // Pages of their own, so that release() can give them back.
    m_data = static_cast<char*>(VirtualAlloc(0, size + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!m_data)
        throw std::bad_alloc();
    m_data[size] = '\0';
}

FileBytes::~FileBytes()
{
    VirtualFree(m_data, 0, MEM_RELEASE);
}

void FileBytes::shrink(std::size_t size)
{
    m_size = size;
    m_data[size] = '\0';
}

void FileBytes::release(const char* upTo)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const std::size_t end = static_cast<std::size_t>(upTo - m_data) / page * page;
    if (end <= m_released)
        return;
    // Only memory is at stake: pages that cannot be given back stay.
    if (VirtualFree(m_data + m_released, end - m_released, MEM_DECOMMIT))
        m_released = end;
}

boost::shared_ptr<FileBytes> ReadWholeFile(const std::wstring& path)
{
    // Opened by its extended-length form, so that a long path works with
    // either separator.
    const std::wstring extended = PocoWrapper::toWide(PocoWrapper::toExtendedLengthPath(path));
    ScopedHandle file(CreateFileW(extended.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, 0));
    if (!file.valid())
        throw FileError("CreateFileW", GetLastError());
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size))
        throw FileError("GetFileSizeEx", GetLastError());
    if (static_cast<unsigned long long>(size.QuadPart) >= static_cast<std::size_t>(-1) / 2)
        throw FileError("GetFileSizeEx", ERROR_NOT_ENOUGH_MEMORY);
    boost::shared_ptr<FileBytes> bytes(new FileBytes(static_cast<std::size_t>(size.QuadPart)));
    std::size_t done = 0;
    while (done < bytes->size()) {
        DWORD read = 0;
        const std::size_t left = bytes->size() - done;
        if (!ReadFile(file.get(), bytes->data() + done, static_cast<DWORD>(left < 0x40000000 ? left : 0x40000000), &read, 0))
            throw FileError("ReadFile", GetLastError());
        if (read == 0)
            break;
        done += read;
    }
    bytes->shrink(done);
    return bytes;
}

XmlFileHandle parseXmlFile(const boost::shared_ptr<FileBytes>& bytes, const std::wstring& path,
                           const std::string& rootName)
{
    XmlFileHandle handle;
    handle.file = bytes;
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
