#include "LineReplacement.h"

#include <windows.h>

size_t ReplaceAllInLine(std::string& line, const std::string& from, const std::string& to)
{
    std::string::size_type hit = line.find(from);
    if (hit == std::string::npos)
        return 0;
    std::string result;
    result.reserve(line.size() + to.size());
    std::string::size_type pos = 0;
    size_t count = 0;
    while (hit != std::string::npos) {
        result.append(line, pos, hit - pos);
        result += to;
        pos = hit + from.size();
        ++count;
        hit = line.find(from, pos);
    }
    result.append(line, pos, std::string::npos);
    line.swap(result);
    return count;
}

std::string LineText(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, 0, 0, 0, 0);
    std::string bytes(size, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &bytes[0], size, 0, 0);
    return bytes;
}
