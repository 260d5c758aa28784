#include "Mossel.h"

#include <cwchar>

void HandleSlash(wchar_t* buffer, unsigned size, wchar_t slash, int remove)
{
    if (!buffer || size == 0)
        return;
    const size_t length = wcsnlen(buffer, size);
    if (length == size)
        return; // not terminated within the buffer: leave it alone
    const bool endsWithSlash = length > 0 && buffer[length - 1] == slash;
    if (remove) {
        if (endsWithSlash)
            buffer[length - 1] = L'\0';
    } else if (!endsWithSlash && length + 1 < size) {
        buffer[length] = slash;
        buffer[length + 1] = L'\0';
    }
}

void HandleSlash(CString& text, wchar_t slash, int remove)
{
    const bool endsWithSlash = !text.IsEmpty() && text[text.GetLength() - 1] == slash;
    if (remove) {
        if (endsWithSlash)
            text = text.Left(text.GetLength() - 1);
    } else if (!endsWithSlash) {
        text += slash;
    }
}
