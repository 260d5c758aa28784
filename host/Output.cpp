#include "Output.h"

#include <windows.h>

#include <nlohmann/json.hpp>

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), 0, 0, 0, 0);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size, 0, 0);
    return result;
}

std::wstring wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), 0, 0);
    std::wstring result(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size);
    return result;
}

namespace {
void writeTo(DWORD which, const std::string& line)
{
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(which), text.data(), static_cast<DWORD>(text.size()), &written, 0);
}

std::string dump(const nlohmann::ordered_json& object)
{
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
}

void Output::write(const std::string& line)
{
    writeTo(STD_OUTPUT_HANDLE, line);
}

void Output::error(const std::string& text)
{
    writeTo(STD_ERROR_HANDLE, "verrand-host: " + text);
}

void Output::log(int level, const std::wstring& text)
{
    if (m_json) {
        write(dump(nlohmann::ordered_json{ { "event", "log" }, { "level", level }, { "text", utf8(text) } }));
        return;
    }
    switch (level) {
    case 2:
        write("[info] " + utf8(text));
        break;
    case 3:
        write("[warn] " + utf8(text));
        break;
    case 4:
        write("[error] " + utf8(text));
        break;
    default:
        write("[level " + std::to_string(level) + "] " + utf8(text));
        break;
    }
}

void Output::property(const std::wstring& name, const std::wstring& value)
{
    if (m_json)
        write(dump(nlohmann::ordered_json{ { "event", "property" }, { "name", utf8(name) }, { "value", utf8(value) } }));
    else
        write("property " + utf8(name) + " = " + utf8(value));
}

void Output::installLog(const std::string& text)
{
    if (m_json)
        write(dump(nlohmann::ordered_json{ { "event", "installlog" }, { "text", text } }));
    else
        write("[installlog] " + text);
}

void Output::result(const std::wstring& action, int status)
{
    if (m_json)
        write(dump(nlohmann::ordered_json{ { "event", "result" }, { "action", utf8(action) }, { "status", status } }));
    else
        write(utf8(action) + " returned " + std::to_string(status));
}

void Output::exception(const std::wstring& action, const std::string& what)
{
    if (m_json)
        write(dump(nlohmann::ordered_json{ { "event", "exception" }, { "action", utf8(action) }, { "what", what } }));
    else
        write("[exception] " + utf8(action) + ": " + what);
}

void Output::note(const std::string& text)
{
    if (!m_json)
        write(text);
}
