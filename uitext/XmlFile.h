#pragma once
// Reading an XML file whole and parsing it in place.
#include <cstddef>
#include <string>

#include <boost/shared_ptr.hpp>

#include <rapidxml/rapidxml.hpp>

// A file's bytes and a zero byte behind them, in memory of their own whose
// pages can be given back while the bytes are read front to back.
class FileBytes {
public:
    // Throws std::bad_alloc when the memory cannot be had.
    explicit FileBytes(std::size_t size);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    char* data() { return m_data; }
    // The file's size; data()[size()] is the zero byte.
    std::size_t size() const { return m_size; }
    void shrink(std::size_t size);
    // Gives back the memory of the whole pages that lie before upTo, whose
    // bytes are then never read again.
    void release(const char* upTo);
    // True once release() gave any page back.
    bool released() const { return m_released > 0; }

private:
    char* m_data;
    std::size_t m_size;
    std::size_t m_released; // bytes from the start whose pages were given back
};

// The whole file, read with one ReadFile (several only past 1 GiB). Throws
// FileError when the file cannot be opened or read.
boost::shared_ptr<FileBytes> ReadWholeFile(const std::wstring& path);

// A parsed file. The document's names and values point into the file's
// bytes, so both live together; root is valid while they do. An empty handle
// (null document) means the load failed.
struct XmlFileHandle {
    XmlFileHandle() : root(0) {}

    boost::shared_ptr<rapidxml::xml_document<char> > document;
    boost::shared_ptr<FileBytes> file;
    rapidxml::xml_node<char>* root;
};

// Parses a file's bytes (none of them released) in place and finds its first
// top-level element named rootName (case-sensitive). Failures are written to
// the install log, naming the file by path, and give an empty handle.
XmlFileHandle parseXmlFile(const boost::shared_ptr<FileBytes>& bytes, const std::wstring& path,
                           const std::string& rootName);
