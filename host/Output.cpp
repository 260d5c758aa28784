#include "Output.h"

#include <windows.h>

#include <nlohmann/json.hpp>

#include "TextEscape.h"

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
// The standard output and error the host was started with, taken before
// anything can replace them with the pipes that children inherit.
const HANDLE standardOutput = GetStdHandle(STD_OUTPUT_HANDLE);
const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);

void writeTo(HANDLE handle, const std::string& line)
{
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, 0);
}

typedef nlohmann::ordered_json Event;

std::string dump(const Event& object)
{
    return object.dump(-1, ' ', false, Event::error_handler_t::replace);
}
}

void Output::write(const std::string& line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    writeTo(standardOutput, line);
}

std::string Output::shownUtf8(const std::wstring& text) const
{
    return utf8(shown(text));
}

void Output::human(const std::string& prefix, const std::wstring& value, const std::string& suffix)
{
    write(prefix + EscapeControls(shownUtf8(value)) + suffix);
}

void Output::error(const std::string& text)
{
    writeTo(standardError, "verrand-host: " + EscapeControls(text));
}

void Output::log(int level, const std::wstring& text)
{
    if (m_json) {
        write(dump(Event{ { "event", "log" }, { "level", level }, { "text", shownUtf8(text) } }));
        return;
    }
    switch (level) {
    case 2:
        human("[info] ", text);
        break;
    case 3:
        human("[warn] ", text);
        break;
    case 4:
        human("[error] ", text);
        break;
    default:
        human("[level " + std::to_string(level) + "] ", text);
        break;
    }
}

void Output::property(const std::wstring& name, const std::wstring& value)
{
    if (m_json)
        write(dump(Event{ { "event", "property" }, { "name", shownUtf8(name) }, { "value", shownUtf8(value) } }));
    else
        write("property " + EscapeControls(shownUtf8(name)) + " = " + EscapeControls(shownUtf8(value)));
}

void Output::installLog(const std::string& text)
{
    const std::string masked = m_secrets.MaskUtf8(text);
    if (m_json)
        write(dump(Event{ { "event", "installlog" }, { "text", masked } }));
    else
        write("[installlog] " + EscapeControls(masked));
}

void Output::result(const std::wstring& action, int status)
{
    if (m_json)
        write(dump(Event{ { "event", "result" }, { "action", shownUtf8(action) }, { "status", status } }));
    else
        human("", action, " returned " + std::to_string(status));
}

void Output::exception(const std::wstring& action, const std::string& what)
{
    const std::string masked = m_secrets.MaskUtf8(what);
    if (m_json)
        write(dump(Event{ { "event", "exception" }, { "action", shownUtf8(action) }, { "what", masked } }));
    else
        write("[exception] " + EscapeControls(shownUtf8(action)) + ": " + EscapeControls(masked));
}

void Output::childOutput(const char* stream, const std::wstring& text)
{
    if (m_json)
        write(dump(Event{ { "event", "output" }, { "stream", stream }, { "text", shownUtf8(text) } }));
}

void Output::step(size_t index, size_t of, const std::wstring& action)
{
    if (m_json)
        write(dump(Event{ { "event", "step" }, { "index", index }, { "of", of }, { "action", shownUtf8(action) } }));
    else
        human("== step " + std::to_string(index) + " of " + std::to_string(of) + ": ", action);
}

void Output::rollback(size_t index, const std::wstring& action)
{
    if (m_json)
        write(dump(Event{ { "event", "rollback" }, { "index", index }, { "action", shownUtf8(action) } }));
    else
        human("== rollback of step " + std::to_string(index) + ": ", action);
}

void Output::plan(int status, bool interrupted, const std::wstring& keptFolder)
{
    if (m_json) {
        Event event{ { "event", "plan" }, { "status", status } };
        if (interrupted)
            event["interrupted"] = true;
        if (!keptFolder.empty())
            event["kept"] = shownUtf8(keptFolder);
        write(dump(event));
        return;
    }
    if (interrupted)
        write("== the plan was interrupted; it ends with status " + std::to_string(status));
    if (!keptFolder.empty())
        human("== a rollback step failed or left state behind; the plan's folder is kept: ", keptFolder);
}

void Output::interrupt(const std::string& event, bool ignored)
{
    if (m_json)
        write(dump(Event{ { "event", "interrupt" }, { "signal", event }, { "ignored", ignored } }));
    else if (ignored)
        write("== " + event + " ignored: the rollback of the steps done goes on");
    else
        write("== " + event + ": interrupted; no further step starts, the steps done are rolled back");
}

void Output::note(const std::string& text)
{
    if (!m_json)
        write(text);
}
