#include "core/SecretMask.h"

#include <algorithm>
#include <string_view>

#include <windows.h>

const wchar_t* const SecretMask::Stars = L"********";

namespace {
template <class String>
void addLongestFirst(std::vector<String>& list, const String& item)
{
    if (item.empty() || std::find(list.begin(), list.end(), item) != list.end())
        return;
    // Stable: of two secrets of one length, the one given first stays first.
    const auto at = std::find_if(list.begin(), list.end(),
                                 [&item](const String& other) { return other.size() < item.size(); });
    list.insert(at, item);
}

// The secret converted to a code page: flags as WideCharToMultiByte takes
// them; lossy, when given, says whether a character had no form there.
std::string inCodePage(const std::wstring& secret, UINT codePage, DWORD flags, BOOL* lossy)
{
    const int length = static_cast<int>(secret.size());
    const int size = WideCharToMultiByte(codePage, flags, secret.data(), length, 0, 0, 0, lossy);
    if (size <= 0)
        return std::string();
    std::string form(size, '\0');
    if (WideCharToMultiByte(codePage, flags, secret.data(), length, &form[0], size, 0, 0) != size)
        return std::string();
    return form;
}

// The secret's bytes in a code page. Where the code page lacks a character
// of it, a program's conversion writes something else in its place: the
// code page's replacement character ('?'), or a best-fit letter ('l' for
// U+0142); both forms are masked, so the readable rest of the secret does not
// show around them. A form made of replacement characters alone shows
// nothing of the secret and is left out: masking it would hide every run of
// '?' of that length.
void addCodePageForms(std::vector<std::string>& forms, const std::wstring& secret, UINT codePage)
{
    if (codePage == CP_UTF8) {
        addLongestFirst(forms, inCodePage(secret, codePage, 0, 0));
        return;
    }
    BOOL lossy = FALSE;
    const std::string exact = inCodePage(secret, codePage, WC_NO_BEST_FIT_CHARS, &lossy);
    if (!lossy) {
        addLongestFirst(forms, exact);
        return;
    }
    const std::string replaced = inCodePage(L"?", codePage, 0, 0);
    for (const std::string& form : { exact, inCodePage(secret, codePage, 0, 0) }) {
        bool readable = false;
        for (std::size_t at = 0; at < form.size() && !readable && !replaced.empty(); at += replaced.size())
            readable = form.compare(at, replaced.size(), replaced) != 0;
        if (readable)
            addLongestFirst(forms, form);
    }
}

// Masks occurrences of the secrets (longest first) in text that begin before
// limit; see SecretMask::MaskInto.
template <class String>
std::size_t maskInto(const std::vector<String>& secrets, const String& text, std::size_t limit, String& out,
                     const typename String::value_type* stars)
{
    typedef std::basic_string_view<typename String::value_type> View;
    const View whole(text);
    std::size_t at = 0;
    // The next place of each secret at or after `at`, found once and kept
    // while it lies ahead, so a text is searched once per secret.
    std::vector<std::size_t> next(secrets.size(), 0);
    bool searched = false;
    while (!secrets.empty()) {
        std::size_t hit = View::npos, length = 0;
        for (std::size_t i = 0; i < secrets.size(); ++i) {
            if (!searched || (next[i] != View::npos && next[i] < at))
                next[i] = whole.find(secrets[i], at);
            // Secrets come longest first: at a tie the longer one stays.
            if (next[i] < hit) {
                hit = next[i];
                length = secrets[i].size();
            }
        }
        searched = true;
        if (hit == View::npos || hit >= limit)
            break;
        // Occurrences that begin inside the stretch masked so far join it.
        std::size_t end = hit + length;
        for (bool grew = true; grew;) {
            grew = false;
            for (const String& secret : secrets) {
                const std::size_t inside = whole.substr(0, end + secret.size() - 1).find(secret, hit + 1);
                if (inside != View::npos && inside < end && inside + secret.size() > end) {
                    end = inside + secret.size();
                    grew = true;
                }
            }
        }
        out.append(text, at, hit - at);
        out += stars;
        at = end;
    }
    if (at < limit) {
        out.append(text, at, limit - at);
        at = limit;
    }
    return at;
}
}

SecretMask::SecretMask(const std::wstring& secret, bool hideCommandLine) : m_hideCommandLine(hideCommandLine)
{
    Add(secret);
}

SecretMask::SecretMask(const std::vector<std::wstring>& secrets, bool hideCommandLine)
    : m_hideCommandLine(hideCommandLine)
{
    for (const std::wstring& secret : secrets)
        Add(secret);
}

void SecretMask::Add(const std::wstring& secret)
{
    if (secret.empty())
        return;
    addLongestFirst(m_secrets, secret);
    const UINT console = GetConsoleOutputCP();
    for (UINT codePage : { UINT(CP_UTF8), GetACP(), GetOEMCP(), console ? console : UINT(CP_UTF8) })
        addCodePageForms(m_byteForms, secret, codePage);
    addLongestFirst(m_byteForms, std::string(reinterpret_cast<const char*>(secret.data()),
                                             secret.size() * sizeof(wchar_t)));
}

std::wstring SecretMask::Text(const std::wstring& text) const
{
    std::wstring masked;
    MaskInto(text, text.size(), masked);
    return masked;
}

std::size_t SecretMask::MaskInto(const std::wstring& text, std::size_t limit, std::wstring& out) const
{
    return maskInto(m_secrets, text, limit, out, Stars);
}

std::size_t SecretMask::MaskBytesInto(const std::string& bytes, std::size_t limit, std::string& out) const
{
    return maskInto(m_byteForms, bytes, limit, out, "********");
}

std::wstring SecretMask::CommandLine(const std::wstring& commandLine) const
{
    return m_hideCommandLine ? std::wstring(Stars) : Text(commandLine);
}

std::wstring CommandLineEcho(const std::wstring& commandLine, const std::wstring& logCmdLine,
                             const SecretMask& mask)
{
    if (logCmdLine == L"no")
        return SecretMask::Stars;
    return mask.Text(logCmdLine == L"yes" ? commandLine : logCmdLine);
}
