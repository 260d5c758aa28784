#include "Mossel.h"

#include <string>

namespace {
std::string toUtf8(const CString& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, text.GetLength(), 0, 0, 0, 0);
    std::string result(size, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, text.GetLength(), &result[0], size, 0, 0);
    return result;
}

CString fromUtf8(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), 0, 0);
    std::wstring result(size, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size);
    return CString(result);
}
}

CTextFile::CTextFile(unsigned long options) : m_options(options), m_file(0), m_firstRead(true) {}

CTextFile::~CTextFile()
{
    Close();
}

bool CTextFile::Open(const wchar_t* path, bool forWriting)
{
    Close();
    m_file = _wfopen(path, forWriting ? L"wb" : L"rb");
    if (!m_file) {
        SetLastError(ERROR_OPEN_FAILED);
        return false;
    }
    m_firstRead = true;
    if (forWriting && (m_options & WriteByteOrderMark))
        fputs("\xEF\xBB\xBF", m_file);
    return true;
}

bool CTextFile::ReadLine(CString& line)
{
    if (!m_file)
        return false;
    std::string bytes;
    int ch;
    bool any = false;
    while ((ch = fgetc(m_file)) != EOF) {
        any = true;
        if (ch == '\n')
            break;
        bytes += static_cast<char>(ch);
    }
    if (!any)
        return false;
    if (!bytes.empty() && bytes[bytes.size() - 1] == '\r')
        bytes.erase(bytes.size() - 1);
    if (m_firstRead && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    m_firstRead = false;
    line = fromUtf8(bytes);
    return true;
}

bool CTextFile::WriteLine(const CString& line)
{
    if (!m_file)
        return false;
    const std::string bytes = toUtf8(line) + "\r\n";
    return fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
}

void CTextFile::Close()
{
    if (m_file) {
        fclose(m_file);
        m_file = 0;
    }
}
