// ConfigureEnvironment through the real export, on the system environment
// key itself.
#include <gtest/gtest.h>

#include "actions/shell/EnvironmentBroadcast.h"
#include "support/ActionLibrary.h"
#include "support/DesktopWait.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "support/ThrowingContext.h"

namespace {
const wchar_t* const kKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t* const kName = L"VERRAND_TEST_PATH";

// Wine without a display refuses top-level windows unless the process uses
// its null graphics driver, which is read when the first such window is made.
// Elsewhere the key means nothing, so it is only written under Wine.
class HeadlessWindows : public ::testing::Environment {
public:
    void SetUp()
    {
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
            return;
        RegSetText(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Graphics", L"null");
    }
};
::testing::Environment* const headlessWindows = ::testing::AddGlobalTestEnvironment(new HeadlessWindows);

// Records the WM_SETTINGCHANGE broadcasts that reach a window of this thread.
class SettingChangeWindow {
public:
    SettingChangeWindow()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &SettingChangeWindow::procedure;
        windowClass.hInstance = GetModuleHandleW(0);
        windowClass.lpszClassName = L"VerrandSettingChangeProbe";
        RegisterClassW(&windowClass);
        m_window = MakeWindowWhenDesktopIsUp([]() {
            return CreateWindowW(L"VerrandSettingChangeProbe", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, 0, 0,
                                 GetModuleHandleW(0), 0);
        });
        received().clear();
    }
    ~SettingChangeWindow()
    {
        if (m_window)
            DestroyWindow(m_window);
    }
    bool created() const { return m_window != 0; }

    static std::vector<std::wstring>& received()
    {
        static std::vector<std::wstring> texts;
        return texts;
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_SETTINGCHANGE)
            received().push_back(lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"");
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND m_window;
};

class ConfigureEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() { removeVariable(); }
    void TearDown() { removeVariable(); }

    void removeVariable()
    {
        HKEY key = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, kName);
            RegCloseKey(key);
        }
    }

    void setVariable(const std::wstring& value, DWORD type = REG_SZ)
    {
        RegSetText(HKEY_LOCAL_MACHINE, kKey, kName, value, 0, type);
    }

    std::wstring variable(DWORD* type = 0) { return RegGetText(HKEY_LOCAL_MACHINE, kKey, kName, 0, type); }
    bool variableExists() { return RegValueExists(HKEY_LOCAL_MACHINE, kKey, kName); }

    int run(const std::wstring& action, const std::wstring& value, const std::wstring& broadcast = L"",
            const std::wstring& timeout = L"", const std::wstring& folder = L"")
    {
        context = RecordingContext::Create();
        context->arguments[L"ENV_NAME"] = kName;
        context->arguments[L"ENV_VALUE"] = value;
        context->arguments[L"ACTION"] = action;
        context->arguments[L"BROADCAST"] = broadcast;
        context->arguments[L"TIMEOUT_MILLI_SECONDS"] = timeout;
        context->arguments[L"$action.invocationdata.dir"] = folder;
        return CallAction("ConfigureEnvironment", context);
    }

    // The twin, given only what a plan gives it: the name and the folder.
    int rollBack(const std::wstring& folder, const std::wstring& name = kName)
    {
        context = RecordingContext::Create();
        context->arguments[L"ENV_NAME"] = name;
        context->arguments[L"$action.invocationdata.dir"] = folder;
        return CallAction("RollbackConfigureEnvironment", context);
    }

    RecordingContextPtr context;
};
}

TEST_F(ConfigureEnvironmentTest, PrependPutsTheTextInFrontEachTime)
{
    setVariable(L"C:\\A");
    EXPECT_EQ(0, run(L"prepend", L"C:\\B;"));
    DWORD type = 0;
    EXPECT_EQ(L"C:\\B;C:\\A", variable(&type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    const std::vector<std::wstring> expected = {
        L"Running ConfigureEnvironment",
        std::wstring(L"Open Environment Hive: ") + kKey,
        std::wstring(L"Handle Key: ") + kName,
        L"  Value: C:\\A",
        L"  Prepend from: C:\\A",
        L"            to: C:\\B;C:\\A",
        L"ConfigureEnvironment is done",
    };
    EXPECT_EQ(expected, context->Texts());
    EXPECT_TRUE(context->Texts(4).empty());

    EXPECT_EQ(0, run(L"PREPEND", L"C:\\B;"));
    EXPECT_EQ(L"C:\\B;C:\\B;C:\\A", variable());
}

TEST_F(ConfigureEnvironmentTest, PercentSignMakesTheWrittenValueExpandable)
{
    setVariable(L"C:\\A");
    EXPECT_EQ(0, run(L"prepend", L"%ProgramFiles%\\X;"));
    DWORD type = 0;
    EXPECT_EQ(L"%ProgramFiles%\\X;C:\\A", variable(&type));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);

    // Removing the reference turns it back into a plain string.
    EXPECT_EQ(0, run(L"remove", L"%ProgramFiles%\\X;"));
    EXPECT_EQ(L"C:\\A", variable(&type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

    // The old value's type does not count, only the text written.
    setVariable(L"%SystemRoot%", REG_EXPAND_SZ);
    EXPECT_EQ(0, run(L"assign", L"C:\\plain"));
    EXPECT_EQ(L"C:\\plain", variable(&type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
}

TEST_F(ConfigureEnvironmentTest, PrependLimitIs2047Characters)
{
    const std::wstring old(2000, L'a');
    setVariable(old);
    EXPECT_EQ(0, run(L"prepend", std::wstring(47, L'b')));
    EXPECT_EQ(2047u, variable().size());

    setVariable(old);
    EXPECT_EQ(0, run(L"prepend", std::wstring(48, L'b')));
    EXPECT_EQ(old, variable());
    EXPECT_TRUE(context->HasLine(L"  the length is longer than 2047, installer will not add to crash the system", 4));
    EXPECT_TRUE(context->HasLine(L"ConfigureEnvironment is done", 2));

    // Assign has no limit.
    EXPECT_EQ(0, run(L"assign", std::wstring(3000, L'c')));
    EXPECT_EQ(3000u, variable().size());
}

TEST_F(ConfigureEnvironmentTest, RemoveCutsEveryCaseSensitiveOccurrence)
{
    setVariable(L"C:\\B;C:\\A;C:\\B;");
    EXPECT_EQ(0, run(L"Remove", L"C:\\B;"));
    EXPECT_EQ(L"C:\\A;", variable());
    EXPECT_TRUE(context->HasLine(L"  remove from: C:\\B;C:\\A;C:\\B;", 2));
    EXPECT_TRUE(context->HasLine(L"           to: C:\\A;", 2));

    setVariable(L"C:\\B;C:\\A;");
    EXPECT_EQ(0, run(L"remove", L"c:\\b;"));
    EXPECT_EQ(L"C:\\B;C:\\A;", variable());
    EXPECT_TRUE(context->HasLine(L"           to: C:\\B;C:\\A;", 2));
}

TEST_F(ConfigureEnvironmentTest, RemoveCutsWholeEntriesOnly)
{
    // The start of a longer entry stays; the entry itself goes.
    setVariable(L"C:\\Notes\\bin;C:\\Notes\\bin64;C:\\x");
    EXPECT_EQ(0, run(L"remove", L"C:\\Notes\\bin"));
    EXPECT_EQ(L";C:\\Notes\\bin64;C:\\x", variable());

    // Found only inside entries: the value is not even written again (it
    // would lose its type), and one error line says why.
    setVariable(L"C:\\Notes\\bin64;C:\\x", REG_EXPAND_SZ);
    EXPECT_EQ(0, run(L"remove", L"C:\\Notes\\bin"));
    DWORD type = 0;
    EXPECT_EQ(L"C:\\Notes\\bin64;C:\\x", variable(&type));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_EQ(std::vector<std::wstring>{ L"  C:\\Notes\\bin is no whole entry of C:\\Notes\\bin64;C:\\x: nothing "
                                         L"removed, the value stays as it is" },
              context->Texts(4));
    EXPECT_FALSE(context->HasLine(L"  remove from: C:\\Notes\\bin64;C:\\x"));
}

TEST_F(ConfigureEnvironmentTest, ValueLongerThanAVariableHoldsIsRefused)
{
    ScopedTempDir state;
    setVariable(L"C:\\A");
    EXPECT_EQ(1, run(L"assign", std::wstring(32768, L'v'), L"", L"", state.path()));
    EXPECT_EQ(L"C:\\A", variable());
    EXPECT_EQ(std::vector<std::wstring>{ L"  the value has 32768 characters, more than the 32767 an environment "
                                         L"variable can hold: nothing assigned" },
              context->Texts(4));
    EXPECT_TRUE(TreeContent(state.path()).empty());

    EXPECT_EQ(0, run(L"assign", std::wstring(32767, L'v')));
    EXPECT_EQ(32767u, variable().size());
}

TEST_F(ConfigureEnvironmentTest, RemoveOnMissingVariableWritesItEmpty)
{
    EXPECT_EQ(0, run(L"remove", L"C:\\B;"));
    EXPECT_TRUE(variableExists());
    EXPECT_EQ(L"", variable());
    EXPECT_FALSE(context->HasLine(L"  Value: "));
    EXPECT_TRUE(context->HasLine(L"  remove from: ", 2));
}

TEST_F(ConfigureEnvironmentTest, ValueThatIsNotTextIsNotEditedAway)
{
    // Prepending to or removing from what cannot be read as text would write
    // the edit of an empty text over it.
    const std::wstring binary(L"\x0102\x0304", 2);
    for (const wchar_t* action : { L"prepend", L"remove" }) {
        setVariable(binary, REG_BINARY);
        EXPECT_EQ(0, run(action, L"C:\\B;")) << Narrow(action);
        EXPECT_EQ((std::vector<std::wstring>{ L"Fails to read the value as text [1804]" }), context->Texts(4));
        DWORD type = 0;
        variable(&type);
        EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type) << Narrow(action);
        EXPECT_EQ(L"ConfigureEnvironment is done", context->lines.back().text);
    }
    // An assignment names all the data: it replaces the value.
    EXPECT_EQ(0, run(L"assign", L"text"));
    EXPECT_EQ(L"text", variable());
    EXPECT_TRUE(context->Texts(4).empty());
}

TEST_F(ConfigureEnvironmentTest, AssignAndClear)
{
    EXPECT_EQ(0, run(L"Assign", L"value one"));
    EXPECT_EQ(L"value one", variable());
    EXPECT_TRUE(context->HasLine(L"  assign: value one", 2));

    EXPECT_EQ(0, run(L"CLEAR", L"shown only"));
    EXPECT_FALSE(variableExists());
    EXPECT_TRUE(context->HasLine(L"  Value: value one", 2));
    EXPECT_TRUE(context->HasLine(L"  clear: shown only", 2));

    // Clearing what is not there fails the delete, which is only reported.
    EXPECT_EQ(0, run(L"clear", L""));
    EXPECT_TRUE(context->HasLine(L"Fail to clear [2]", 4));
    EXPECT_TRUE(context->HasLine(L"ConfigureEnvironment is done", 2));
}

TEST_F(ConfigureEnvironmentTest, UnknownActionChangesNothing)
{
    setVariable(L"C:\\A");
    EXPECT_EQ(0, run(L"set", L"C:\\B"));
    EXPECT_EQ(L"C:\\A", variable());
    EXPECT_TRUE(context->HasLine(L"Incorrect action, should be 'prepend', 'remove', 'assign' or 'clear'", 4));
    EXPECT_EQ(L"ConfigureEnvironment is done", context->lines.back().text);
}

TEST_F(ConfigureEnvironmentTest, MissingArgumentIsNamed)
{
    context = RecordingContext::Create();
    context->arguments[L"ACTION"] = L"assign";
    context->arguments[L"ENV_VALUE"] = L"x";
    EXPECT_EQ(1, CallAction("ConfigureEnvironment", context));
    const std::vector<std::wstring> lines = { L"Running ConfigureEnvironment",
                                              L"Missing argument ENV_NAME: the name of the environment variable" };
    EXPECT_EQ(lines, context->Texts());
    const std::vector<std::wstring> order = { L"ENV_NAME", L"ENV_VALUE", L"ACTION", L"BROADCAST",
                                              L"TIMEOUT_MILLI_SECONDS", L"$action.invocationdata.dir" };
    EXPECT_EQ(order, context->argumentsRead);

    // Prepend and remove need a text; an empty ACTION is named as missing.
    setVariable(L"C:\\A");
    EXPECT_EQ(1, run(L"prepend", L""));
    EXPECT_EQ(std::vector<std::wstring>{ L"Missing argument ENV_VALUE: nothing to prepend" }, context->Texts(4));
    EXPECT_EQ(1, run(L"remove", L""));
    EXPECT_EQ(std::vector<std::wstring>{ L"Missing argument ENV_VALUE: nothing to remove" }, context->Texts(4));
    EXPECT_EQ(0, run(L"", L"x"));
    EXPECT_EQ(std::vector<std::wstring>{ L"Missing argument ACTION: should be 'prepend', 'remove', 'assign' or 'clear'" },
              context->Texts(4));
    EXPECT_EQ(L"C:\\A", variable());

    // The twin cannot find its record without its folder.
    EXPECT_EQ(1, rollBack(L""));
    EXPECT_TRUE(context->HasLine(L"Missing argument $action.invocationdata.dir: the folder that holds what "
                                 L"ConfigureEnvironment changed",
                                 4));
}

TEST_F(ConfigureEnvironmentTest, BroadcastOnlyForItsOwnWords)
{
    SettingChangeWindow window;
    ASSERT_TRUE(window.created());
    for (const wchar_t* word : { L"1", L"true", L"YES", L"Yes" }) {
        SettingChangeWindow::received().clear();
        EXPECT_EQ(0, run(L"assign", L"x", word, L"abc"));
        EXPECT_TRUE(context->HasLine(L"Broadcast the changes...", 2)) << Narrow(word);
        EXPECT_EQ(std::vector<std::wstring>{ L"Environment" }, SettingChangeWindow::received()) << Narrow(word);
        EXPECT_EQ(L"ConfigureEnvironment is done", context->lines.back().text);
    }
    for (const wchar_t* word : { L"on", L" yes", L"", L"0", L"y" }) {
        SettingChangeWindow::received().clear();
        EXPECT_EQ(0, run(L"assign", L"x", word));
        EXPECT_FALSE(context->HasLine(L"Broadcast the changes...")) << Narrow(word);
        EXPECT_TRUE(SettingChangeWindow::received().empty()) << Narrow(word);
    }
}

TEST_F(ConfigureEnvironmentTest, CrashIsReportedAsFailure)
{
    boost::shared_ptr<ThrowingContext> throwing(new ThrowingContext);
    throwing->arguments[L"ENV_NAME"] = kName;
    throwing->failingArgument = L"ACTION";
    EXPECT_EQ(1, CallAction("ConfigureEnvironment", throwing));
    ASSERT_EQ(2u, throwing->lines.size());
    EXPECT_EQ(L"Running ConfigureEnvironment", throwing->lines[0].text);
    EXPECT_EQ(4, throwing->lines[1].level);
    EXPECT_EQ(L"ConfigureEnvironment crashed", throwing->lines[1].text);
    EXPECT_EQ(1, throwing.use_count());
}

TEST(EnvironmentBroadcast, TimeoutFallsBackTo5000WhenItDoesNotParse)
{
    EXPECT_EQ(5000u, BroadcastTimeout(L"abc"));
    EXPECT_EQ(5000u, BroadcastTimeout(L""));
    EXPECT_EQ(5000u, BroadcastTimeout(L"-1"));
    EXPECT_EQ(5000u, BroadcastTimeout(L"12ms"));
    EXPECT_EQ(250u, BroadcastTimeout(L"250"));
    EXPECT_EQ(0u, BroadcastTimeout(L"0"));
    EXPECT_EQ(4294967295u, BroadcastTimeout(L"4294967295"));
}

namespace {
// One edit and its twin: the value before, the edit, and what the twin
// leaves when something else changed the value in between (or nothing).
struct UndoCase {
    const char* why;
    bool existed;
    std::wstring before;
    DWORD beforeType;
    std::wstring action;
    std::wstring value;
    std::wstring between; // written after the edit; empty: nothing
    std::wstring undone;  // the value after the twin; empty with !remains: gone
    bool remains;
    int twinStatus;
};
}

TEST_F(ConfigureEnvironmentTest, TwinGivesBackExactlyWhatItsEditChanged)
{
    const std::vector<UndoCase> rows = {
        { "prepend: the entry added goes, the old type comes back", true, L"C:\\A;%X%", REG_EXPAND_SZ, L"prepend",
          L"C:\\B;", L"", L"C:\\A;%X%", true, 0 },
        // The pattern "prepend, twin removes" took an entry that was there before.
        { "prepend of an entry that was there already", true, L"C:\\B;C:\\A", REG_SZ, L"prepend", L"C:\\B;", L"",
          L"C:\\B;C:\\A", true, 0 },
        { "prepend to a variable that did not exist", false, L"", REG_SZ, L"prepend", L"C:\\B;", L"", L"", false, 0 },
        { "prepend, then another setup's prepend: only this entry goes", true, L"C:\\A", REG_SZ, L"prepend",
          L"C:\\B;", L"C:\\Z;C:\\B;C:\\A", L"C:\\Z;C:\\A", true, 0 },
        { "prepend whose entry went meanwhile: nothing to undo", true, L"C:\\A", REG_SZ, L"prepend", L"C:\\B;",
          L"C:\\A;C:\\Z", L"C:\\A;C:\\Z", true, 0 },
        { "remove: the old value comes back", true, L"C:\\B;C:\\A;C:\\B;", REG_SZ, L"remove", L"C:\\B;", L"",
          L"C:\\B;C:\\A;C:\\B;", true, 0 },
        { "assign over a value", true, L"%A%", REG_EXPAND_SZ, L"assign", L"new", L"", L"%A%", true, 0 },
        { "assign of a variable that did not exist", false, L"", REG_SZ, L"assign", L"new", L"", L"", false, 0 },
        { "clear", true, L"old", REG_SZ, L"clear", L"", L"", L"old", true, 0 },
        // Someone else's value is not written over; the record stays.
        { "assign, then the value changed", true, L"old", REG_SZ, L"assign", L"new", L"theirs", L"theirs", true, 1 },
    };
    for (const UndoCase& row : rows) {
        SCOPED_TRACE(row.why);
        ScopedTempDir state;
        removeVariable();
        if (row.existed)
            setVariable(row.before, row.beforeType);
        ASSERT_EQ(0, run(row.action, row.value, L"", L"", state.path()));
        EXPECT_EQ(1u, TreeContent(state.path()).size());
        if (!row.between.empty())
            setVariable(row.between);
        EXPECT_EQ(row.twinStatus, rollBack(state.path()));
        EXPECT_EQ(row.remains, variableExists());
        DWORD type = 0;
        if (row.remains) {
            EXPECT_EQ(row.undone, variable(&type));
        }
        if (row.remains && row.between.empty()) {
            EXPECT_EQ(row.beforeType, type);
        }
        // A twin that used its record consumes it; one that could not keeps it.
        EXPECT_EQ(row.twinStatus == 0 ? 0u : 1u, TreeContent(state.path()).size());
    }
}

TEST_F(ConfigureEnvironmentTest, RecordsAreKeptPerVariableAndNeverReplaced)
{
    ScopedTempDir state;
    // An edit that changes nothing leaves nothing for a twin.
    setVariable(L"C:\\A");
    EXPECT_EQ(0, run(L"remove", L"C:\\B;", L"", L"", state.path()));
    EXPECT_TRUE(TreeContent(state.path()).empty());
    EXPECT_EQ(0, rollBack(state.path()));
    EXPECT_TRUE(context->HasLine(L"Nothing to rollback", 2));
    EXPECT_EQ(L"C:\\A", variable());

    // Two edits sharing the folder: the second adds its record, and the
    // twins (newest first) give each edit back.
    EXPECT_EQ(0, run(L"prepend", L"C:\\B;", L"", L"", state.path()));
    EXPECT_EQ(0, run(L"assign", L"C:\\C", L"", L"", state.path()));
    EXPECT_EQ(2u, TreeContent(state.path()).size());
    // Another variable's twin finds nothing of this one's.
    EXPECT_EQ(0, rollBack(state.path(), L"VERRAND_TEST_OTHER"));
    EXPECT_TRUE(context->HasLine(L"Nothing to rollback", 2));
    // The registry's names ignore case, and so do the records.
    std::wstring lower(kName);
    CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
    EXPECT_EQ(0, rollBack(state.path(), lower));
    EXPECT_EQ(L"C:\\B;C:\\A", variable());
    EXPECT_EQ(0, rollBack(state.path()));
    EXPECT_EQ(L"C:\\A", variable());
    EXPECT_EQ(0, rollBack(state.path()));
    EXPECT_TRUE(context->HasLine(L"Nothing to rollback", 2));
    EXPECT_EQ(L"C:\\A", variable());
    EXPECT_TRUE(TreeContent(state.path()).empty());

    // A record that is not whole is reported, not acted on.
    EXPECT_EQ(0, run(L"assign", L"C:\\C", L"", L"", state.path()));
    const std::wstring record = state.file(TreeContent(state.path()).begin()->first);
    WriteBytes(record, ReadBytes(record).substr(0, 40));
    EXPECT_EQ(1, rollBack(state.path()));
    EXPECT_TRUE(context->HasLine(L"Fails to read the rollback state " + record + L" [13]", 4));
    EXPECT_EQ(L"C:\\C", variable());
}
