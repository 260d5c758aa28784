#include "ShortcutTarget.h"

const std::wstring ShellLinkExtension(L".lnk");
const std::wstring WebShortcutExtension(L".url");

bool IsWebTarget(const std::wstring& target)
{
    return target.compare(0, 5, L"http:") == 0 || target.compare(0, 6, L"https:") == 0;
}
