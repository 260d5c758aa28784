#pragma once
// Reading a file in large chunks and writing one through a buffer, on Win32
// handles. Both classes throw FileError when the system refuses a read, a
// write or the opening of the file.
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <windows.h>

#include "core/ScopedHandle.h"

class ContentHash;

// The size of a read and of a write: large, since every call of the system
// costs. Under Wine, 100 MB read in 1 MiB pieces take 7 ms against 12 ms in
// 64 KiB pieces, and written to a new file 23 ms against 30 ms. Memory stays
// independent of the file.
const std::size_t kFileChunkSize = 1024 * 1024;

class FileError : public std::runtime_error {
public:
    FileError(const char* operation, DWORD error);
    DWORD error() const { return m_error; }

private:
    DWORD m_error;
};

// The bytes of a file, a chunk at a time, in one buffer of fixed size (so
// memory does not depend on the file).
class ChunkReader {
public:
    explicit ChunkReader(const std::wstring& path);
    // Moves the last `keep` bytes of the current chunk to the front and
    // reads behind them. False at the end of the file (nothing was added).
    bool next(std::size_t keep = 0);
    // The current chunk; the buffer is aligned for any code unit.
    const char* data() const { return &m_buffer[0]; }
    std::size_t size() const { return m_size; }

private:
    ScopedHandle m_file;
    std::vector<char> m_buffer;
    std::size_t m_size;
};

// Creates a file that must not exist yet and writes bytes to it through a buffer;
// close() writes the rest. Every write to the file but the last is a whole
// number of buffers: writes that end inside a page of the file make the
// system's page cache (and the rename that later puts the file in place)
// far slower. With a hash, every byte written is added to it on its way out.
class BufferedFileWriter {
public:
    explicit BufferedFileWriter(const std::wstring& path, ContentHash* hash = 0);
    void write(const void* data, std::size_t size)
    {
        // Most pieces of an edited line are a few bytes long (a line's head,
        // a replacement, a line feed): they are copied here, in a few moves,
        // since a call of the C runtime's copy costs more than such a copy.
        if (size <= kShortPiece && size <= m_buffer.size() - m_used) {
            copyShort(&m_buffer[m_used], static_cast<const char*>(data), size);
            m_used += size;
            return;
        }
        writeLong(data, size);
    }
    void close();

private:
    static const std::size_t kShortPiece = 64;
    // Copies 0 to kShortPiece bytes in moves of eight (four, one), the last
    // moves overlapping the ones before.
    static void copyShort(char* to, const char* from, std::size_t size)
    {
        if (size >= 8) {
            char* const last = to + size - 8;
            const char* const lastFrom = from + size - 8;
            for (; to < last; to += 8, from += 8)
                std::memcpy(to, from, 8);
            std::memcpy(last, lastFrom, 8);
        } else if (size >= 4) {
            std::memcpy(to, from, 4);
            std::memcpy(to + size - 4, from + size - 4, 4);
        } else if (size > 0) {
            to[0] = from[0];
            to[size / 2] = from[size / 2];
            to[size - 1] = from[size - 1];
        }
    }
    void writeLong(const void* data, std::size_t size);
    void flush();
    void writeOut(const char* data, std::size_t size);

    ScopedHandle m_file;
    std::vector<char> m_buffer;
    std::size_t m_used;
    ContentHash* m_hash;
};
