#pragma once
// A small wide-character CString and CStringArray with the ATL operations the
// library and its sibling libraries use. Text is UTF-16 (wchar_t). Formatting
// follows the Microsoft convention: %s takes a wide string.
#include <cstdarg>
#include <string>
#include <vector>

class CString {
public:
    CString() {}
    CString(const wchar_t* text) : m_text(text ? text : L"") {}
    CString(const wchar_t* text, int length) : m_text(text ? std::wstring(text, length) : std::wstring()) {}
    CString(const std::wstring& text) : m_text(text) {}
    CString(wchar_t ch, int repeat = 1) : m_text(repeat > 0 ? repeat : 0, ch) {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    const wchar_t* GetString() const { return m_text.c_str(); }
    operator const wchar_t*() const { return m_text.c_str(); }
    // Not ATL: the text as a standard string, for code that speaks std::wstring.
    const std::wstring& str() const { return m_text; }

    wchar_t GetAt(int index) const { return m_text.at(index); }
    void SetAt(int index, wchar_t ch) { m_text.at(index) = ch; }
    wchar_t operator[](int index) const { return m_text.at(index); }

    CString& operator=(const wchar_t* text) { m_text = text ? text : L""; return *this; }
    CString& operator=(const std::wstring& text) { m_text = text; return *this; }
    CString& operator=(wchar_t ch) { m_text.assign(1, ch); return *this; }
    CString& operator+=(const CString& text) { m_text += text.m_text; return *this; }
    CString& operator+=(const wchar_t* text) { if (text) m_text += text; return *this; }
    CString& operator+=(wchar_t ch) { m_text += ch; return *this; }
    void Append(const wchar_t* text) { *this += text; }
    void AppendChar(wchar_t ch) { m_text += ch; }

    int Compare(const wchar_t* other) const;
    int CompareNoCase(const wchar_t* other) const;

    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* sub, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    int FindOneOf(const wchar_t* chars) const;

    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;

    CString& MakeLower();
    CString& MakeUpper();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim(wchar_t ch);
    CString& TrimLeft(wchar_t ch);
    CString& TrimRight(wchar_t ch);
    CString& Trim(const wchar_t* chars);
    CString& TrimLeft(const wchar_t* chars);
    CString& TrimRight(const wchar_t* chars);

    // Replaces every occurrence; returns how many were replaced.
    int Replace(const wchar_t* oldText, const wchar_t* newText);
    int Replace(wchar_t oldChar, wchar_t newChar);
    int Remove(wchar_t ch);
    int Insert(int index, const wchar_t* text);
    int Insert(int index, wchar_t ch);
    int Delete(int index, int count = 1);

    // Next token after 'start' delimited by any of 'delimiters'; start becomes
    // -1 when there is none left.
    CString Tokenize(const wchar_t* delimiters, int& start) const;

    void Format(const wchar_t* format, ...);
    void AppendFormat(const wchar_t* format, ...);
    void FormatV(const wchar_t* format, va_list args);

    // Direct access to a writable buffer of at least minLength characters;
    // ReleaseBuffer(-1) takes the length from the terminating null.
    wchar_t* GetBuffer(int minLength = 0);
    wchar_t* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, const wchar_t* b) { CString r(a); r += b; return r; }
    friend CString operator+(const wchar_t* a, const CString& b) { CString r(a); r += b; return r; }
    friend CString operator+(const CString& a, wchar_t b) { CString r(a); r += b; return r; }
    friend CString operator+(wchar_t a, const CString& b) { CString r(a); r += b; return r; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.m_text == (b ? b : L""); }
    friend bool operator==(const wchar_t* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator!=(const wchar_t* a, const CString& b) { return !(b == a); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

private:
    std::wstring m_text;
    std::vector<wchar_t> m_buffer; // live between GetBuffer and ReleaseBuffer
};

typedef CString CStringW;

class CStringArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_items.empty(); }
    int Add(const CString& item) { m_items.push_back(item); return GetSize() - 1; }
    const CString& GetAt(int index) const { return m_items.at(index); }
    void SetAt(int index, const CString& item) { m_items.at(index) = item; }
    CString& operator[](int index) { return m_items.at(index); }
    const CString& operator[](int index) const { return m_items.at(index); }
    void RemoveAt(int index, int count = 1);
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<CString> m_items;
};
