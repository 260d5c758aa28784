#include "CString.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <stdexcept>

#include <windows.h>

namespace {
const wchar_t* const kWhiteSpace = L" \t\n\v\f\r";

int position(std::wstring::size_type found)
{
    return found == std::wstring::npos ? -1 : static_cast<int>(found);
}

std::wstring::size_type clampIndex(int index, std::wstring::size_type size)
{
    if (index < 0)
        return 0;
    return std::min<std::wstring::size_type>(index, size);
}
}

int CString::Compare(const wchar_t* other) const
{
    return m_text.compare(other ? other : L"");
}

int CString::CompareNoCase(const wchar_t* other) const
{
    return _wcsicmp(m_text.c_str(), other ? other : L"");
}

int CString::Find(wchar_t ch, int start) const
{
    if (start < 0 || start > GetLength())
        return -1;
    return position(m_text.find(ch, start));
}

int CString::Find(const wchar_t* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    return position(m_text.find(sub, start));
}

int CString::ReverseFind(wchar_t ch) const
{
    return position(m_text.rfind(ch));
}

int CString::FindOneOf(const wchar_t* chars) const
{
    return chars ? position(m_text.find_first_of(chars)) : -1;
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    const std::wstring::size_type begin = clampIndex(first, m_text.size());
    if (count < 0)
        count = 0;
    return CString(m_text.substr(begin, count));
}

CString CString::Left(int count) const
{
    return CString(m_text.substr(0, clampIndex(count, m_text.size())));
}

CString CString::Right(int count) const
{
    const std::wstring::size_type n = clampIndex(count, m_text.size());
    return CString(m_text.substr(m_text.size() - n));
}

CString& CString::MakeLower()
{
    if (!m_text.empty())
        CharLowerBuffW(&m_text[0], static_cast<DWORD>(m_text.size()));
    return *this;
}

CString& CString::MakeUpper()
{
    if (!m_text.empty())
        CharUpperBuffW(&m_text[0], static_cast<DWORD>(m_text.size()));
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::TrimLeft() { return TrimLeft(kWhiteSpace); }
CString& CString::TrimRight() { return TrimRight(kWhiteSpace); }
CString& CString::Trim(wchar_t ch) { return TrimRight(ch).TrimLeft(ch); }

CString& CString::TrimLeft(wchar_t ch)
{
    const wchar_t chars[2] = { ch, 0 };
    return TrimLeft(chars);
}

CString& CString::TrimRight(wchar_t ch)
{
    const wchar_t chars[2] = { ch, 0 };
    return TrimRight(chars);
}

CString& CString::Trim(const wchar_t* chars) { return TrimRight(chars).TrimLeft(chars); }

CString& CString::TrimLeft(const wchar_t* chars)
{
    const std::wstring::size_type first = m_text.find_first_not_of(chars ? chars : L"");
    m_text.erase(0, first == std::wstring::npos ? m_text.size() : first);
    return *this;
}

CString& CString::TrimRight(const wchar_t* chars)
{
    const std::wstring::size_type last = m_text.find_last_not_of(chars ? chars : L"");
    m_text.erase(last == std::wstring::npos ? 0 : last + 1);
    return *this;
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText)
{
    if (!oldText || !*oldText)
        return 0;
    const std::wstring from(oldText);
    const std::wstring to(newText ? newText : L"");
    int count = 0;
    std::wstring result;
    std::wstring::size_type start = 0;
    for (;;) {
        const std::wstring::size_type hit = m_text.find(from, start);
        if (hit == std::wstring::npos)
            break;
        result.append(m_text, start, hit - start);
        result += to;
        start = hit + from.size();
        ++count;
    }
    if (count) {
        result.append(m_text, start, std::wstring::npos);
        m_text.swap(result);
    }
    return count;
}

int CString::Replace(wchar_t oldChar, wchar_t newChar)
{
    int count = 0;
    for (std::wstring::iterator it = m_text.begin(); it != m_text.end(); ++it) {
        if (*it == oldChar) {
            *it = newChar;
            ++count;
        }
    }
    return count;
}

int CString::Remove(wchar_t ch)
{
    const std::wstring::size_type before = m_text.size();
    m_text.erase(std::remove(m_text.begin(), m_text.end(), ch), m_text.end());
    return static_cast<int>(before - m_text.size());
}

int CString::Insert(int index, const wchar_t* text)
{
    m_text.insert(clampIndex(index, m_text.size()), text ? text : L"");
    return GetLength();
}

int CString::Insert(int index, wchar_t ch)
{
    m_text.insert(clampIndex(index, m_text.size()), 1, ch);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (count > 0 && index >= 0 && index < GetLength())
        m_text.erase(index, count);
    return GetLength();
}

CString CString::Tokenize(const wchar_t* delimiters, int& start) const
{
    if (start < 0 || start >= GetLength()) {
        start = -1;
        return CString();
    }
    const std::wstring delims(delimiters ? delimiters : L"");
    const std::wstring::size_type begin = m_text.find_first_not_of(delims, start);
    if (begin == std::wstring::npos) {
        start = -1;
        return CString();
    }
    std::wstring::size_type end = m_text.find_first_of(delims, begin);
    if (end == std::wstring::npos)
        end = m_text.size();
    start = static_cast<int>(end) + 1;
    return CString(m_text.substr(begin, end - begin));
}

void CString::FormatV(const wchar_t* format, va_list args)
{
    // The msvcrt functions keep the Microsoft meaning of %s in wide text.
    va_list sizing;
    va_copy(sizing, args);
    const int length = _vscwprintf(format, sizing);
    va_end(sizing);
    if (length < 0)
        throw std::invalid_argument("CString::Format: bad format");
    std::vector<wchar_t> buffer(length + 1);
    _vsnwprintf(&buffer[0], buffer.size(), format, args);
    m_text.assign(&buffer[0], length);
}

void CString::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const wchar_t* format, ...)
{
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    *this += tail;
}

wchar_t* CString::GetBuffer(int minLength)
{
    const std::wstring::size_type size = std::max<std::wstring::size_type>(m_text.size(), minLength > 0 ? minLength : 0);
    m_buffer.assign(size + 1, L'\0');
    std::copy(m_text.begin(), m_text.end(), m_buffer.begin());
    return &m_buffer[0];
}

wchar_t* CString::GetBufferSetLength(int length)
{
    wchar_t* buffer = GetBuffer(length);
    m_buffer.resize(length + 1);
    m_buffer[length] = L'\0';
    return buffer;
}

void CString::ReleaseBuffer(int newLength)
{
    if (m_buffer.empty())
        return;
    if (newLength < 0)
        newLength = static_cast<int>(std::find(m_buffer.begin(), m_buffer.end(), L'\0') - m_buffer.begin());
    newLength = std::min<int>(newLength, static_cast<int>(m_buffer.size()));
    m_text.assign(&m_buffer[0], newLength);
    std::vector<wchar_t>().swap(m_buffer);
}

void CStringArray::RemoveAt(int index, int count)
{
    if (index < 0 || count < 0 || index + count > GetSize())
        throw std::out_of_range("CStringArray::RemoveAt");
    m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
}
