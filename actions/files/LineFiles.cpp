#include "LineFiles.h"

#include <algorithm>
#include <cstring>

#include "core/ContentHash.h"

namespace {
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

ChunkReader::ChunkReader(const std::wstring& path)
    : m_file(openFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN)),
      m_buffer(kFileChunkSize), m_size(0)
{
}

bool ChunkReader::next(std::size_t keep)
{
    if (keep > m_size)
        keep = m_size;
    std::memmove(&m_buffer[0], &m_buffer[m_size - keep], keep);
    m_size = keep;
    DWORD read = 0;
    if (!ReadFile(m_file.get(), &m_buffer[keep], static_cast<DWORD>(m_buffer.size() - keep), &read, 0))
        throw FileError("ReadFile", GetLastError());
    m_size += read;
    return read > 0;
}

BufferedFileWriter::BufferedFileWriter(const std::wstring& path, ContentHash* hash)
    : m_file(openFile(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL)), m_buffer(kFileChunkSize), m_used(0),
      m_hash(hash)
{
}

void BufferedFileWriter::writeLong(const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    // The buffer goes out only when full, so that every write but the last
    // covers whole pages of the file.
    while (size > 0) {
        if (m_used == 0 && size >= m_buffer.size()) {
            // Whole buffers' worth go out as they are, without a copy.
            const std::size_t whole = size - size % m_buffer.size();
            writeOut(bytes, whole);
            bytes += whole;
            size -= whole;
            continue;
        }
        const std::size_t now = std::min(size, m_buffer.size() - m_used);
        std::memcpy(&m_buffer[m_used], bytes, now);
        m_used += now;
        bytes += now;
        size -= now;
        if (m_used == m_buffer.size())
            flush();
    }
}

void BufferedFileWriter::flush()
{
    writeOut(&m_buffer[0], m_used);
    m_used = 0;
}

void BufferedFileWriter::writeOut(const char* data, std::size_t size)
{
    if (m_hash)
        m_hash->add(data, size);
    while (size > 0) {
        DWORD written = 0;
        const DWORD now = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        if (!WriteFile(m_file.get(), data, now, &written, 0))
            throw FileError("WriteFile", GetLastError());
        if (written == 0)
            throw FileError("WriteFile", ERROR_WRITE_FAULT);
        data += written;
        size -= written;
    }
}

void BufferedFileWriter::close()
{
    flush();
    if (!m_file.close())
        throw FileError("CloseHandle", GetLastError());
}
