// VerrandNsis.dll called the way an NSIS installer calls a plugin: its
// texts on a string stack of GlobalAlloc'd entries, the installer window
// with its details list, and the extra parameters through which it asks to
// stay loaded.
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "nsis/PluginApi.h"
#include "nsis/NsisStack.h"
#include "support/DesktopWait.h"

namespace {
// The few file helpers these tests need. The shared test support cannot be
// linked into this statically linked program (it reaches into the
// product's libraries), so they stand here.
bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, 0);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, 0) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

// A fresh folder under the temporary folder, removed with its content.
class ScopedTempDir {
public:
    ScopedTempDir()
    {
        wchar_t temp[MAX_PATH];
        const DWORD length = GetTempPathW(MAX_PATH, temp);
        static int count = 0;
        m_path = std::wstring(temp, length) + L"nsis-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++count);
        CreateDirectoryW(m_path.c_str(), 0);
    }
    ~ScopedTempDir()
    {
        std::wstring from = m_path + L'\0';
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_NO_UI;
        SHFileOperationW(&operation);
    }
    std::wstring file(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

typedef void(__cdecl* PluginFunction)(HWND, int, wchar_t*, NsisStackEntry**, NsisExtraParameters*);

int registrations = 0;
int __stdcall recordRegistration(HMODULE, NsisPluginCallback)
{
    ++registrations;
    return 0;
}

// The installer's side: the stack, the variables and the extra parameters.
class Installer {
public:
    explicit Installer(int stringSize = 1024)
        : m_size(stringSize), m_variables(NsisVariableCount * stringSize), m_top(0), m_stack(&m_top, stringSize)
    {
        m_extra.execFlags = &m_flags;
        m_extra.registerPluginCallback = &recordRegistration;
    }
    ~Installer()
    {
        std::wstring text;
        while (m_stack.pop(text)) {
        }
    }

    // Calls the plugin's function with the texts pushed as NSIS pushes a
    // call's parameters (the first one on top), and returns the stack's top.
    std::wstring call(const char* function, const std::vector<std::wstring>& texts, HWND parent = 0)
    {
        for (size_t i = texts.size(); i-- > 0;)
            m_stack.push(texts[i]);
        PluginFunction plugin = reinterpret_cast<PluginFunction>(GetProcAddress(library(), function));
        EXPECT_TRUE(plugin) << function;
        if (!plugin)
            return L"";
        plugin(parent, m_size, &m_variables[0], &m_top, &m_extra);
        std::wstring top;
        EXPECT_TRUE(m_stack.pop(top)) << function << " pushed nothing";
        return top;
    }
    NsisStack& stack() { return m_stack; }

    // The build's plugin, in dist/nsis/ beside the tests' folder.
    static HMODULE library()
    {
        static HMODULE module = [] {
            wchar_t self[MAX_PATH];
            const DWORD length = GetModuleFileNameW(0, self, MAX_PATH);
            std::wstring path(self, length);
            path.erase(path.find_last_of(L'\\'));
            path.erase(path.find_last_of(L'\\') + 1);
            return LoadLibraryW((path + L"dist\\nsis\\VerrandNsis.dll").c_str());
        }();
        return module;
    }

private:
    int m_size;
    std::vector<wchar_t> m_variables;
    NsisStackEntry* m_top;
    NsisStack m_stack;
    NsisExecFlags m_flags = {};
    NsisExtraParameters m_extra = {};
};

// An installer window as NSIS shows its install page: an inner dialog
// holding the details list view.
class InstallerWindow {
public:
    InstallerWindow()
    {
        INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES };
        InitCommonControlsEx(&controls);
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(0);
        windowClass.lpszClassName = L"VerrandNsisInstallerProbe";
        RegisterClassW(&windowClass);
        m_parent = MakeWindowWhenDesktopIsUp([] {
            return CreateWindowW(L"VerrandNsisInstallerProbe", L"setup", WS_OVERLAPPED, 0, 0, 400, 300, 0, 0,
                                 GetModuleHandleW(0), 0);
        });
        m_page = CreateWindowExW(0, L"#32770", L"", WS_CHILD, 0, 0, 400, 300, m_parent, 0, 0, 0);
        m_error = GetLastError();
        m_list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 400, 300, m_page,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(NsisDetailsListId)), 0, 0);
        LVCOLUMNW column = {};
        column.mask = LVCF_WIDTH;
        column.cx = 380;
        SendMessageW(m_list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    }
    ~InstallerWindow() { DestroyWindow(m_parent); }
    HWND parent() const { return m_parent; }
    bool ready() const { return m_parent && m_page && m_list; }
    std::string problem() const
    {
        return std::string(m_parent ? "" : "no installer window ") + (m_page ? "" : "no inner dialog ") +
               (m_list ? "" : "no details list ") + "(error " + std::to_string(m_error) + ")";
    }

    std::vector<std::wstring> lines() const
    {
        std::vector<std::wstring> lines;
        const int count = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[1024] = {};
            LVITEMW item = {};
            item.iSubItem = 0;
            item.pszText = text;
            item.cchTextMax = 1024;
            SendMessageW(m_list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            lines.push_back(text);
        }
        return lines;
    }

private:
    HWND m_parent, m_page, m_list;
    DWORD m_error;
};

bool anyContains(const std::vector<std::wstring>& lines, const std::wstring& part)
{
    for (const std::wstring& line : lines) {
        if (line.find(part) != std::wstring::npos)
            return true;
    }
    return false;
}

std::wstring widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

TEST(NsisStack, ReadsAndWritesWithinTheInstallersBufferSize)
{
    NsisStackEntry* top = 0;
    NsisStack stack(&top, 8);
    ASSERT_TRUE(stack.push(L"a text longer than the buffer"));
    std::wstring text;
    ASSERT_TRUE(stack.pop(text));
    // Cut to the buffer, less its terminator.
    EXPECT_EQ(text, L"a text ");
    // An entry whose text fills its buffer without a terminator is read
    // to the buffer's end, not beyond.
    NsisStackEntry* full = static_cast<NsisStackEntry*>(GlobalAlloc(GPTR, sizeof(NsisStackEntry) + 16 * sizeof(wchar_t)));
    for (int i = 0; i < 16; ++i)
        full->text[i] = L'x';
    top = full;
    ASSERT_TRUE(stack.pop(text));
    EXPECT_EQ(text, L"xxxxxxxx");
    EXPECT_FALSE(stack.pop(text));

    for (const wchar_t* pushed : { L"below", L"/END", L"b", L"a" })
        stack.push(pushed);
    EXPECT_EQ(stack.popUntil(L"/END"), (std::vector<std::wstring>{ L"a", L"b" }));
    ASSERT_TRUE(stack.pop(text));
    EXPECT_EQ(text, L"below") << "what lies below /END stays the script's";
}

TEST(NsisPlugin, RunsAnActionWithItsArgumentsAndPushesItsStatus)
{
    ASSERT_TRUE(Installer::library()) << GetLastError();
    ScopedTempDir temp;
    Installer installer;
    installer.stack().push(L"the script's own");
    const int before = registrations;
    EXPECT_EQ(installer.call("Run", { L"EnsureFolderExists", L"FolderName=" + temp.file(L"a\\b"), L"/END" }), L"0");
    EXPECT_TRUE(PathExists(temp.file(L"a\\b")));
    EXPECT_GT(registrations, before) << "the plugin asks to stay loaded, so its properties last";
    std::wstring below;
    ASSERT_TRUE(installer.stack().pop(below));
    EXPECT_EQ(below, L"the script's own");

    // Each row: a call that is wrong, and the status it pushes.
    struct Row {
        std::vector<std::wstring> texts;
        const wchar_t* status;
    } rows[] = {
        { { L"NoSuchAction", L"/END" }, L"2" },          // no such action
        { { L"EnsureFolderExists", L"FolderName", L"/END" }, L"2" }, // a pair without '='
        { { L"/END" }, L"2" },                           // no action named
        { { L"EnsureFolderExists", L"/END" }, L"1" },    // the action's own refusal
    };
    for (const Row& row : rows)
        EXPECT_EQ(installer.call("Run", row.texts), row.status) << row.texts[0];
}

TEST(NsisPlugin, PropertiesLastFromCallToCall)
{
    ScopedTempDir temp;
    Installer installer;
    EXPECT_EQ(installer.call("Run", { L"SetWindowsSystemFolderProps", L"/END" }), L"0");
    EXPECT_EQ(installer.call("GetProperty", { L"WindowsFolder" }), L"C:\\windows\\");
    EXPECT_EQ(installer.call("GetProperty", { L"NeverSet" }), L"");
    // A property the script sets is an absent argument's value.
    EXPECT_EQ(installer.call("SetProperty", { L"FolderName", temp.file(L"from property") }), L"0");
    EXPECT_EQ(installer.call("Run", { L"EnsureFolderExists", L"/END" }), L"0");
    EXPECT_TRUE(PathExists(temp.file(L"from property")));
}

// The lines of two calls, one with a secret, one refused, with the
// installer window `parent` (or none) and the install log `log`.
void runLoggedCalls(Installer& installer, const ScopedTempDir& temp, const std::wstring& log, HWND parent)
{
    EXPECT_EQ(installer.call("Log", { log }), L"0");
    EXPECT_EQ(installer.call("Run", { L"EnsureFolderExists", L"FolderName=" + temp.file(L"hunter2"),
                                      L"SensitiveData=hunter2", L"/END" }, parent),
              L"0");
    EXPECT_EQ(installer.call("Run", { L"NoSuchAction", L"/END" }, parent), L"2");
    EXPECT_EQ(installer.call("Log", { L"" }), L"0");
    EXPECT_TRUE(PathExists(temp.file(L"hunter2"))) << "masked in the lines, used as given";
}

TEST(NsisPlugin, LinesReachTheInstallLogWithTheSecretMasked)
{
    ScopedTempDir temp;
    Installer installer;
    const std::wstring log = temp.file(L"install.log");
    runLoggedCalls(installer, temp, log, 0);
    const std::wstring written = widen(ReadBytes(log));
    EXPECT_NE(written.find(L"Creating folder: "), std::wstring::npos) << "the action's line";
    EXPECT_NE(written.find(L"Error: VerrandNsis::Run: there is no action NoSuchAction"), std::wstring::npos);
    EXPECT_EQ(written.find(L"hunter2"), std::wstring::npos);
    EXPECT_EQ(installer.call("Log", { temp.file(L"no such folder\\install.log") }), L"3")
        << "a log that cannot be opened gives the Windows error";
}

TEST(NsisPlugin, LinesReachTheDetailsList)
{
    InstallerWindow window;
    if (!window.ready())
        GTEST_SKIP() << "no window can be made here (Wine without a display driver): " << window.problem();
    ScopedTempDir temp;
    Installer installer;
    runLoggedCalls(installer, temp, temp.file(L"install.log"), window.parent());
    const std::vector<std::wstring> details = window.lines();
    EXPECT_TRUE(anyContains(details, L"Creating folder: ")) << "the action's line is a details line";
    EXPECT_TRUE(anyContains(details, L"Error: VerrandNsis::Run: ")) << "an error says so";
    EXPECT_FALSE(anyContains(details, L"hunter2"));
}

TEST(NsisPlugin, RunsAPlanAndRollsItBackWhenAStepFails)
{
    ScopedTempDir temp;
    Installer installer;
    const std::string steps =
        "{\"steps\": ["
        "{\"action\": \"CreateShortcut\", \"args\": {\"runAction\": \"1\", \"linkFullPath\": \"[DIR]\\\\notes.lnk\","
        " \"pathToTarget\": \"C:\\\\windows\\\\notepad.exe\"},"
        " \"rollback\": {\"action\": \"RemoveShortcut\", \"args\": {\"runAction\": \"1\","
        " \"linkFullPath\": \"[DIR]\\\\notes.lnk\"}}}";
    WriteBytes(temp.file(L"good.json"), steps + "]}");
    WriteBytes(temp.file(L"failing.json"),
               steps + ",{\"action\": \"DeleteRegistryKey\", \"args\": {\"Root\": \"HKEY_FAIL_ON_PURPOSE\", \"Path\": \"x\"}}]}");
    const std::wstring dir = L"DIR=" + temp.file(L"links");

    EXPECT_EQ(installer.call("Plan", { temp.file(L"failing.json"), dir, L"/END" }), L"1")
        << "the failing step's status";
    EXPECT_FALSE(PathExists(temp.file(L"links\\notes.lnk"))) << "its twin ran";
    EXPECT_EQ(installer.call("Plan", { temp.file(L"good.json"), dir, L"/END" }), L"0");
    EXPECT_TRUE(PathExists(temp.file(L"links\\notes.lnk")));
    EXPECT_EQ(installer.call("Plan", { temp.file(L"missing.json"), L"/END" }), L"2");
}
}
