#pragma once
// Streaming a text file line by line into another file, on Win32 handles.
// Both classes throw FileError when the system refuses a read, a write or
// the opening of the file.
#include <stdexcept>
#include <string>
#include <vector>

#include <windows.h>

class FileError : public std::runtime_error {
public:
    FileError(const char* operation, DWORD error);
    DWORD error() const { return m_error; }

private:
    DWORD m_error;
};

class ScopedFileHandle {
public:
    explicit ScopedFileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~ScopedFileHandle() { close(); }
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    // False when closing failed.
    bool close();
    // Closes the handle held, if any, and takes another.
    void reset(HANDLE handle)
    {
        close();
        m_handle = handle;
    }

private:
    ScopedFileHandle(const ScopedFileHandle&);
    ScopedFileHandle& operator=(const ScopedFileHandle&);
    HANDLE m_handle;
};

// Reads the lines of a file: the bytes up to each line feed, without it; a
// last line without a line feed is a line too.
class LineReader {
public:
    explicit LineReader(const std::wstring& path);
    // False at the end of the file.
    bool next(std::string& line);

private:
    bool fill();

    ScopedFileHandle m_file;
    std::vector<char> m_buffer;
    size_t m_begin;
    size_t m_end;
    bool m_atEnd;
};

// Creates or truncates a file and writes lines to it, each followed by a
// line feed. Output is buffered; close() writes the rest.
class LineWriter {
public:
    explicit LineWriter(const std::wstring& path);
    void writeLine(const std::string& line);
    void close();

private:
    void write(const char* data, size_t size);
    void flush();

    ScopedFileHandle m_file;
    std::vector<char> m_buffer;
    size_t m_used;
};
