#pragma once
// The installer's string stack and variables, read and written by explicit
// lengths: no text is taken beyond the installer's buffer size.
#include <string>
#include <vector>

#include <windows.h>

#include "PluginApi.h"

class NsisStack {
public:
    NsisStack(NsisStackEntry** top, int stringSize) : m_top(top), m_size(stringSize > 0 ? stringSize : 0) {}

    // Takes the top text off; false when the stack is empty.
    bool pop(std::wstring& text);
    // Texts off the top up to (and taking) the text `end`, or until the
    // stack is empty.
    std::vector<std::wstring> popUntil(const std::wstring& end);
    // Puts a text on top, cut to the buffer size; false when no entry can
    // be had.
    bool push(const std::wstring& text);

private:
    NsisStackEntry** m_top;
    size_t m_size;
};
