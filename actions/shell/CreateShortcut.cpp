// CreateShortcut: writes a shell link (.lnk) through the shell-link object,
// or an Internet shortcut (.url) when the target is a web address.
// Given an invocation-data folder, it keeps what its twin
// RollbackCreateShortcut needs there: the shortcut file that stood at the
// place (moved into the state whole) and the folders it made.
#include <string>

#include <windows.h>
#include <objbase.h>

#include <intshcut.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <Poco/Exception.h>

#include "core/Action.h"
#include "core/FileIdentity.h"
#include "core/FileLinks.h"
#include "core/KeptObjects.h"
#include "core/PathRules.h"
#include "core/RollbackState.h"
#include "core/TrueFalseWords.h"
#include "PocoWrapper/File.h"
#include "PocoWrapper/String.h"

#include "ComInterface.h"
#include "NormalizePath.h"
#include "RunAsUserFlag.h"
#include "ShellArgumentNames.h"
#include "ShellRollback.h"
#include "ShortcutTarget.h"

namespace {
const CLSID kShellLinkClass = { 0x00021401, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };
const IID kShellLinkW = { 0x000214F9, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };
const CLSID kInternetShortcutClass = { 0xFBF23B40, 0xE3F0, 0x101B, { 0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8 } };
const IID kUniformResourceLocatorW = { 0xCABB0DA0, 0xDA57, 0x11CF, { 0x99, 0x74, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x62 } };
const IID kShellLinkDataList = { 0x45E2B4AE, 0xB1C3, 0x11D0, { 0xB9, 0x2F, 0x00, 0xA0, 0xC9, 0x03, 0x12, 0xE1 } };
const IID kPersistFile = { 0x0000010B, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };

const wchar_t* const kInternetShortcutSection = L"InternetShortcut";

struct ShortcutArguments {
    std::wstring linkFullPath;
    std::wstring pathToTarget;
    std::wstring arguments;
    std::wstring description;
    std::wstring iconPath;
    std::wstring iconIndex;
    std::wstring runAsUser;
    std::wstring showCmd;
    std::wstring workingDir;
    std::wstring runAction;
};

ShortcutArguments readArguments(IActionContext& context)
{
    ShortcutArguments arguments;
    arguments.linkFullPath = *context.GetArg(ShellArgumentNames::LinkFullPath);
    arguments.pathToTarget = *context.GetArg(ShellArgumentNames::PathToTarget);
    arguments.arguments = *context.GetArg(ShellArgumentNames::Arguments);
    arguments.description = *context.GetArg(ShellArgumentNames::Description);
    arguments.iconPath = *context.GetArg(ShellArgumentNames::IconPath);
    arguments.iconIndex = *context.GetArg(ShellArgumentNames::IconIndex);
    arguments.runAsUser = *context.GetArg(ShellArgumentNames::RunAsUser);
    arguments.showCmd = *context.GetArg(ShellArgumentNames::ShowCmd);
    arguments.workingDir = *context.GetArg(ShellArgumentNames::WorkingDir);
    arguments.runAction = *context.GetArg(ShellArgumentNames::RunAction);
    return arguments;
}

// The shortcut's place as both actions compute it: the normalised path,
// with ".url" for the ".lnk" of a web shortcut.
std::wstring savePathOf(const std::wstring& linkPath, const std::wstring& target)
{
    return IsWebTarget(target) ? WebShortcutPath(linkPath) : linkPath;
}

// The rollback state of one create. begin() writes the signal before the
// place is touched and moves the shortcut that stood there into the state;
// finish() records what the save left. A create that does not finish is
// undone here: the shortcut that stood there goes back, the folders made
// go, and so does the state. A retried step keeps the first run's state.
class CreateState {
public:
    CreateState(IActionContext& context, const std::wstring& invocationFolder, const std::wstring& savePath)
        : m_context(context), m_enabled(!invocationFolder.empty()),
          m_state(invocationFolder, ShellState::CreateShortcut, savePath), m_path(m_state.object()),
          m_earlier(false), m_own(false), m_moved(false), m_saving(false)
    {
    }

    ~CreateState()
    {
        if (m_earlier && m_saving) {
            // The place holds this step's shortcut, as far as it got.
            DWORD ignored = 0;
            MarkLeftObject(m_path, m_signal, ignored);
            m_state.write(m_signal, ignored);
        }
        if (m_own)
            undo();
    }

    bool begin(const std::vector<std::wstring>& missing)
    {
        if (!m_enabled)
            return true;
        if (m_state.read(m_signal)) {
            if (!StillAsLeft(m_context, m_state, m_signal, L"CreateShortcut"))
                return false;
            m_earlier = true;
            m_context.Log(LogLevelInfo, L"Keeping the rollback state of this step's first run: " + m_state.folder());
            return true;
        }
        const bool present = ObjectExists(m_path);
        if (present && !IsPlainFile(m_path)) {
            // A folder at the place is no shortcut to keep: the save fails on it.
            if (LinkAt(m_path) == NoLink) {
                m_enabled = false;
                return true;
            }
            if (!AcceptLinkItself(m_context, ShellArgumentNames::LinkFullPath, m_path))
                return false;
        }
        m_signal.object = m_state.object();
        m_signal.change = present ? ShellState::Replaced : ShellState::Created;
        m_signal.madeFolders = missing;
        DWORD error = 0;
        m_context.Log(LogLevelInfo, L"Writing rollback signal: " + m_state.signalPath());
        if (!m_state.write(m_signal, error))
            return Failed(m_context, L"Couldn't write the rollback signal " + m_state.signalPath(), error);
        m_own = true;
        if (present && !KeepObject(m_path, m_state.kept(ShellState::KeptShortcut), m_moved, error))
            return Failed(m_context, L"Couldn't keep " + m_path + L" in the rollback state " + m_state.folder(),
                                error);
        return true;
    }

    // The place is about to be written.
    void saving() { m_saving = true; }

    bool finish()
    {
        if (!m_enabled)
            return true;
        DWORD error = 0;
        if (!MarkLeftObject(m_path, m_signal, error))
            return Failed(m_context, L"Couldn't read back the shortcut " + m_path, error);
        if (!m_state.write(m_signal, error))
            return Failed(m_context, L"Couldn't write the rollback signal " + m_state.signalPath(), error);
        m_own = false;
        m_saving = false;
        return true;
    }

private:
    void undo()
    {
        const std::wstring kept = m_state.kept(ShellState::KeptShortcut);
        if (m_signal.change == ShellState::Replaced) {
            // A copy on another volume left the original in place until the save.
            if (ObjectExists(kept) && (m_moved || m_saving) &&
                !PutBack(m_context, kept, m_path, L"; the shortcut that was there stays at " + kept))
                return;
        } else if (m_saving && ObjectExists(m_path) && !DeleteFileW(ExtendedLengthPath(m_path).c_str())) {
            Failed(m_context, L"Couldn't remove " + m_path, GetLastError());
            return;
        }
        DWORD ignored = 0;
        RemoveMadeFolders(0, m_signal.madeFolders, std::wstring(), ignored);
        DiscardState(m_context, m_state);
    }

    IActionContext& m_context;
    bool m_enabled;
    const RollbackState m_state;
    const std::wstring m_path;
    RollbackSignal m_signal;
    bool m_earlier;
    bool m_own;
    bool m_moved;
    bool m_saving;
};

// Builds and saves one shortcut. Every failure is logged as one error line
// and makes write() return false. The COM objects go with the writer.
class ShortcutWriter {
public:
    ShortcutWriter(IActionContext& context, const ShortcutArguments& arguments, const std::wstring& stateFolder)
        : m_context(context), m_arguments(arguments), m_stateFolder(stateFolder), m_iconForWebShortcut(false),
          m_iconIndex(0), m_settingsLeftOut(false)
    {
    }

    bool write()
    {
        const std::wstring linkPath = ToBackslashForm(NormalizePath(m_arguments.linkFullPath));
        if (!AcceptPath(m_context, ShellArgumentNames::LinkFullPath, linkPath, CheckTarget(linkPath)))
            return false;
        m_context.Log(LogLevelInfo, L"Creating link, location:  " + linkPath);

        const std::wstring folder = linkPath.substr(0, linkPath.rfind(L'\\') + 1);
        m_savePath = savePathOf(linkPath, m_arguments.pathToTarget);
        CreateState state(m_context, m_stateFolder, m_savePath);
        if (!state.begin(MissingFolders(folder)))
            return false;
        if (!PocoWrapper::File(folder).createDirectories()) {
            m_context.Log(LogLevelError, L"Couldn't create folder: " + folder);
            return false;
        }

        m_linkArguments = m_arguments.arguments;
        const bool created = IsWebTarget(m_arguments.pathToTarget) ? createWebShortcut() : createShellLink();
        if (!created || !applySettings())
            return false;
        state.saving();
        if (!save() || !writeWebShortcutIcon() || !savedFileHoldsData() || !state.finish())
            return false;
        if (m_settingsLeftOut)
            m_context.Log(LogLevelInfo, L"Internet shortcut saved without link settings");
        return true;
    }

private:
    bool fail(const wchar_t* line)
    {
        m_context.Log(LogLevelError, line);
        return false;
    }

    bool createWebShortcut()
    {
        boost::shared_ptr<IUniformResourceLocatorW> locator =
            CreateInProcess<IUniformResourceLocatorW>(kInternetShortcutClass, kUniformResourceLocatorW);
        if (!locator)
            return fail(L"Couldn't get IUniformResourceLocator instance");
        m_object = locator;
        if (FAILED(locator->SetURL(m_arguments.pathToTarget.c_str(), IURL_SETURL_FL_USE_DEFAULT_PROTOCOL)))
            return fail(L"Couldn't set URL");

        // Some shells' Internet-shortcut objects hand out no IShellLinkW. The
        // URL is what matters: such a shortcut is saved through the object's
        // own IPersistFile, with the icon written into the file afterwards.
        m_link = QueryInterfaceOf<IShellLinkW>(m_object.get(), kShellLinkW);

        m_linkArguments.clear();
        return true;
    }

    bool createShellLink()
    {
        m_link = CreateInProcess<IShellLinkW>(kShellLinkClass, kShellLinkW);
        if (!m_link)
            return fail(L"Couldn't get IShellLink instance");
        m_object = m_link;
        if (FAILED(m_link->SetPath(m_arguments.pathToTarget.c_str())))
            return fail(L"Couldn't set path to target");
        return true;
    }

    bool parseNumber(const std::wstring& text, const std::wstring& failureLine, int& value)
    {
        try {
            value = PocoWrapper::parse(text);
            return true;
        } catch (const Poco::SyntaxException&) {
            m_context.Log(LogLevelError, failureLine + text);
            return false;
        }
    }

    typedef HRESULT (STDMETHODCALLTYPE IShellLinkW::*TextSetting)(LPCWSTR);

    // An empty value is no setting. Without IShellLinkW the setting cannot
    // be applied and is only remembered for the report.
    bool applyText(TextSetting setting, const std::wstring& value, const wchar_t* failureLine)
    {
        if (value.empty())
            return true;
        if (!m_link) {
            m_settingsLeftOut = true;
            return true;
        }
        if (FAILED(((*m_link).*setting)(value.c_str())))
            return fail(failureLine);
        return true;
    }

    bool applySettings()
    {
        if (!applyText(&IShellLinkW::SetArguments, m_linkArguments, L"Couldn't set args") ||
            !applyText(&IShellLinkW::SetDescription, m_arguments.description, L"Couldn't set description"))
            return false;

        if (!m_arguments.iconPath.empty() && !applyIcon())
            return false;

        if (IsTrueWord(m_arguments.runAsUser)) {
            boost::shared_ptr<IShellLinkDataList> dataList =
                QueryInterfaceOf<IShellLinkDataList>(m_object.get(), kShellLinkDataList);
            if (!dataList)
                return fail(L"Couldn't get IShellLinkDataList interface");
            if (const wchar_t* failure = AddRunAsUserFlag(*dataList))
                return fail(failure);
        }

        if (!m_arguments.showCmd.empty()) {
            int showCmd = 0;
            if (!parseNumber(m_arguments.showCmd, L"Expecting an int for showCmd, got: ", showCmd))
                return false;
            if (!m_link)
                m_settingsLeftOut = true;
            else if (FAILED(m_link->SetShowCmd(showCmd)))
                return fail(L"Couldn't set show cmd");
        }

        return applyText(&IShellLinkW::SetWorkingDirectory, m_arguments.workingDir, L"Couldn't set working dir");
    }

    // A missing icon file is only reported; the shortcut goes without icon.
    bool applyIcon()
    {
        if (!PathFileExistsW(m_arguments.iconPath.c_str())) {
            m_context.Log(LogLevelError, L"Icon doesn't exist: " + m_arguments.iconPath);
            return true;
        }
        if (!parseNumber(m_arguments.iconIndex, L"Expecting an int for iconIndex, got: ", m_iconIndex))
            return false;
        if (!m_link) {
            m_iconForWebShortcut = true;
            return true;
        }
        if (FAILED(m_link->SetIconLocation(m_arguments.iconPath.c_str(), m_iconIndex)))
            return fail(L"Couldn't set icon location");
        return true;
    }

    bool save()
    {
        boost::shared_ptr<IPersistFile> file = QueryInterfaceOf<IPersistFile>(m_object.get(), kPersistFile);
        if (!file)
            return fail(L"Couldn't get IPersistFile instance");
        m_context.Log(LogLevelInfo, L"Saving shortcut file. Path = " + m_savePath);
        if (FAILED(file->Save(m_savePath.c_str(), FALSE)))
            return fail(L"Couldn't save shortcut file");
        return true;
    }

    // For an Internet shortcut saved without IShellLinkW the icon goes into
    // the file's own entries.
    bool writeWebShortcutIcon()
    {
        if (m_iconForWebShortcut) {
            const std::wstring index = PocoWrapper::formatNumber(m_iconIndex);
            if (!WritePrivateProfileStringW(kInternetShortcutSection, L"IconFile", m_arguments.iconPath.c_str(),
                                            m_savePath.c_str()) ||
                !WritePrivateProfileStringW(kInternetShortcutSection, L"IconIndex", index.c_str(),
                                            m_savePath.c_str()))
                return fail(L"Couldn't set icon location");
        }
        return true;
    }

    // Some shells report an Internet shortcut as saved when the disk took
    // none of its bytes (their profile writer does not check its writes).
    // An empty shortcut file is removed and the save counts as failed.
    bool savedFileHoldsData()
    {
        WIN32_FILE_ATTRIBUTE_DATA saved;
        if (GetFileAttributesExW(m_savePath.c_str(), GetFileExInfoStandard, &saved) &&
            (saved.nFileSizeLow != 0 || saved.nFileSizeHigh != 0))
            return true;
        DeleteFileW(m_savePath.c_str());
        return fail(L"Couldn't save shortcut file");
    }

    IActionContext& m_context;
    const ShortcutArguments& m_arguments;
    const std::wstring m_stateFolder;
    boost::shared_ptr<IUnknown> m_object;
    // Empty only for an Internet-shortcut object that refuses IShellLinkW.
    boost::shared_ptr<IShellLinkW> m_link;
    std::wstring m_savePath;
    std::wstring m_linkArguments;
    bool m_iconForWebShortcut;
    int m_iconIndex;
    bool m_settingsLeftOut;
};
}

VERRAND_ACTION(CreateShortcut)
{
    ComApartment com;
    if (!com.initialised()) {
        context->Log(LogLevelError, L"Couldn't init COM");
        return ActionFailed;
    }
    const ShortcutArguments arguments = readArguments(*context);
    if (arguments.runAction != L"1") {
        context->Log(LogLevelInfo, L"runAction not 1. Skipping...");
        return ActionDone;
    }
    const std::wstring stateFolder = StateFolderArgument(*context);
    if (!AcceptStateFolder(*context, stateFolder, false))
        return ActionFailed;
    ShortcutWriter writer(*context, arguments, stateFolder);
    return writer.write() ? ActionDone : ActionFailed;
}

VERRAND_ACTION(RollbackCreateShortcut)
{
    const std::wstring linkFullPath = *context->GetArg(ShellArgumentNames::LinkFullPath);
    const std::wstring target = *context->GetArg(ShellArgumentNames::PathToTarget);
    const std::wstring stateFolder = StateFolderArgument(*context);
    const std::wstring linkPath = ToBackslashForm(NormalizePath(linkFullPath));
    if (!AcceptStateFolder(*context, stateFolder, true) ||
        !AcceptPath(*context, ShellArgumentNames::LinkFullPath, linkPath, CheckTarget(linkPath)))
        return ActionFailed;

    const RollbackState state(stateFolder, ShellState::CreateShortcut, savePathOf(linkPath, target));
    RollbackSignal signal;
    if (!SignalToRollBack(*context, state, signal))
        return ActionDone;
    if (!StillAsLeft(*context, state, signal, L"CreateShortcut"))
        return ActionFailed;

    const std::wstring& path = state.object();
    const std::wstring kept = state.kept(ShellState::KeptShortcut);
    if (signal.change == ShellState::Replaced && ObjectExists(kept)) {
        context->Log(LogLevelInfo, L"Putting back the shortcut that was there before: " + path);
        if (!PutBack(*context, kept, path, L"; the shortcut that was there stays at " + kept))
            return ActionFailed;
    } else if (ObjectExists(path)) {
        context->Log(LogLevelInfo, L"Removing the shortcut CreateShortcut saved: " + path);
        if (!DeleteFileW(ExtendedLengthPath(path).c_str())) {
            Failed(*context, L"Couldn't remove " + path, GetLastError());
            return ActionFailed;
        }
    }
    RemoveFoldersMade(*context, signal.madeFolders, L"CreateShortcut");
    DiscardState(*context, state);
    return ActionDone;
}
