#include "ShortcutTarget.h"

const std::wstring ShellLinkExtension(L".lnk");
const std::wstring WebShortcutExtension(L".url");

bool IsWebTarget(const std::wstring& target)
{
    return target.compare(0, 5, L"http:") == 0 || target.compare(0, 6, L"https:") == 0;
}

std::wstring WebShortcutPath(const std::wstring& linkPath)
{
    const std::wstring::size_type nameStart = linkPath.find_last_of(L"\\/") + 1;
    const std::wstring::size_type size = ShellLinkExtension.size();
    if (linkPath.size() - nameStart < size || linkPath.compare(linkPath.size() - size, size, ShellLinkExtension) != 0)
        return linkPath;
    return linkPath.substr(0, linkPath.size() - size) + WebShortcutExtension;
}
