#include "NsisStack.h"

#include <cwchar>

bool NsisStack::pop(std::wstring& text)
{
    if (!m_top || !*m_top)
        return false;
    NsisStackEntry* entry = *m_top;
    text.assign(entry->text, wcsnlen(entry->text, m_size));
    *m_top = entry->next;
    GlobalFree(entry);
    return true;
}

std::vector<std::wstring> NsisStack::popUntil(const std::wstring& end)
{
    std::vector<std::wstring> texts;
    std::wstring text;
    while (pop(text) && text != end)
        texts.push_back(text);
    return texts;
}

bool NsisStack::push(const std::wstring& text)
{
    if (!m_top || m_size == 0)
        return false;
    NsisStackEntry* entry = static_cast<NsisStackEntry*>(
        GlobalAlloc(GPTR, sizeof(NsisStackEntry) + m_size * sizeof(wchar_t)));
    if (!entry)
        return false;
    const size_t length = text.size() < m_size ? text.size() : m_size - 1;
    text.copy(entry->text, length);
    entry->text[length] = L'\0';
    entry->next = *m_top;
    *m_top = entry;
    return true;
}
