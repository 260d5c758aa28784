#include "LineFiles.h"

#include <cstring>

namespace {
const size_t kChunkSize = 64 * 1024;

std::string describe(const char* operation, DWORD error)
{
    return std::string(operation) + " failed with " + std::to_string(error);
}

HANDLE openFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    HANDLE handle = CreateFileW(path.c_str(), access, share, 0, disposition, flags, 0);
    if (handle == INVALID_HANDLE_VALUE)
        throw FileError("CreateFileW", GetLastError());
    return handle;
}
}

FileError::FileError(const char* operation, DWORD error) : std::runtime_error(describe(operation, error)), m_error(error)
{
}

bool ScopedFileHandle::close()
{
    if (!valid())
        return true;
    const bool closed = CloseHandle(m_handle) != FALSE;
    m_handle = INVALID_HANDLE_VALUE;
    return closed;
}

LineReader::LineReader(const std::wstring& path)
    : m_file(openFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN)),
      m_buffer(kChunkSize), m_begin(0), m_end(0), m_atEnd(false)
{
}

bool LineReader::fill()
{
    if (m_atEnd)
        return false;
    DWORD read = 0;
    if (!ReadFile(m_file.get(), &m_buffer[0], static_cast<DWORD>(m_buffer.size()), &read, 0))
        throw FileError("ReadFile", GetLastError());
    m_begin = 0;
    m_end = read;
    m_atEnd = read == 0;
    return !m_atEnd;
}

bool LineReader::next(std::string& line)
{
    line.clear();
    bool any = false;
    for (;;) {
        if (m_begin == m_end && !fill())
            return any;
        any = true;
        const char* start = &m_buffer[m_begin];
        const char* feed = static_cast<const char*>(std::memchr(start, '\n', m_end - m_begin));
        if (feed) {
            line.append(start, feed - start);
            m_begin += (feed - start) + 1;
            return true;
        }
        line.append(start, m_end - m_begin);
        m_begin = m_end;
    }
}

LineWriter::LineWriter(const std::wstring& path)
    : m_file(openFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL)), m_buffer(kChunkSize), m_used(0)
{
}

void LineWriter::writeLine(const std::string& line)
{
    write(line.data(), line.size());
    write("\n", 1);
}

void LineWriter::write(const char* data, size_t size)
{
    while (size > 0) {
        if (m_used == m_buffer.size())
            flush();
        const size_t room = m_buffer.size() - m_used;
        const size_t now = size < room ? size : room;
        std::memcpy(&m_buffer[m_used], data, now);
        m_used += now;
        data += now;
        size -= now;
    }
}

void LineWriter::flush()
{
    size_t done = 0;
    while (done < m_used) {
        DWORD written = 0;
        if (!WriteFile(m_file.get(), &m_buffer[done], static_cast<DWORD>(m_used - done), &written, 0))
            throw FileError("WriteFile", GetLastError());
        if (written == 0)
            throw FileError("WriteFile", ERROR_WRITE_FAULT);
        done += written;
    }
    m_used = 0;
}

void LineWriter::close()
{
    flush();
    if (!m_file.close())
        throw FileError("CloseHandle", GetLastError());
}
