#include "UnixSide.h"

#include <stdexcept>
#include <vector>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

namespace {
typedef char*(CDECL* UnixFileName)(const wchar_t*);

std::string unixPath(const std::wstring& path)
{
    const UnixFileName convert =
        reinterpret_cast<UnixFileName>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name"));
    if (!convert)
        throw std::runtime_error("not running under Wine");
    char* converted = convert(path.c_str());
    if (!converted)
        throw std::runtime_error("no Unix path for a Windows path");
    const std::string result(converted);
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text) {
        if (c == '\'')
            result += "'\\''";
        else
            result += c;
    }
    return result + "'";
}

std::wstring widened(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::wstring temporaryFolder()
{
    wchar_t folder[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder, length);
}

// Reads the small text file, or gives false when it is not there yet.
bool readStatus(const std::wstring& path, int& status)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char text[16] = { 0 };
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - 1, &read, 0);
    CloseHandle(file);
    DeleteFileW(path.c_str());
    status = atoi(text);
    return true;
}
}

bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version") != 0;
}

std::string QuotedUnixPath(const std::wstring& path)
{
    return quoted(unixPath(path));
}

int RunUnixScript(const std::string& script)
{
    if (script.find('"') != std::string::npos)
        throw std::runtime_error("a Unix script for the tests holds no double quote");
    static unsigned counter = 0;
    const std::wstring status = temporaryFolder() + L"unix-status-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(++counter);
    const std::string statusPath = quoted(unixPath(status));
    const std::string whole =
        "(" + script + ") >/dev/null 2>&1; echo $? > " + statusPath + ".part; mv " + statusPath + ".part " + statusPath;
    std::wstring commandLine = L"/bin/sh -c \"" + widened(whole) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(0, &commandLine[0], 0, 0, FALSE, 0, 0, 0, &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    int result = -1;
    for (int waited = 0; waited < 60000; waited += 10) {
        if (readStatus(status, result))
            return result;
        Sleep(10);
    }
    return -1;
}

CreationDeniedFolder::CreationDeniedFolder(const std::wstring& folder)
    : m_folder(folder), m_previousDescriptor(0), m_previousDacl(0), m_aclSet(false), m_immutable(false),
      m_inForce(false)
{
    setDenyingAcl();
    m_inForce = denies();
    if (m_inForce || !RunningUnderWine()) {
        if (!m_inForce)
            m_reason = "the folder's ACL does not deny creation";
        return;
    }
    m_immutable = RunUnixScript("chattr +i " + QuotedUnixPath(folder)) == 0;
    m_inForce = m_immutable && denies();
    if (!m_immutable)
        m_reason = "Wine ignores the ACL and chattr +i failed (it needs the immutable-file capability)";
    else if (!m_inForce)
        m_reason = "the immutable folder still accepts new files";
}

CreationDeniedFolder::~CreationDeniedFolder()
{
    if (m_immutable)
        RunUnixScript("chattr -i " + QuotedUnixPath(m_folder));
    restoreAcl();
}

void CreationDeniedFolder::setDenyingAcl()
{
    PACL previous = 0;
    PSECURITY_DESCRIPTOR descriptor = 0;
    if (GetNamedSecurityInfoW(m_folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, 0, 0, &previous, 0,
                              &descriptor) != ERROR_SUCCESS)
        return;
    m_previousDescriptor = descriptor;
    m_previousDacl = previous;
    // Everyone: denied adding files (0x2) and folders (0x4) and removing
    // children (0x40); allowed everything else.
    PSECURITY_DESCRIPTOR denying = 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;;0x46;;;WD)(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                              &denying, 0))
        return;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = 0;
    GetSecurityDescriptorDacl(denying, &present, &dacl, &defaulted);
    m_aclSet = SetNamedSecurityInfoW(&m_folder[0], SE_FILE_OBJECT,
                                     DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, 0, 0, dacl,
                                     0) == ERROR_SUCCESS;
    LocalFree(denying);
}

void CreationDeniedFolder::restoreAcl()
{
    if (m_aclSet)
        SetNamedSecurityInfoW(&m_folder[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, 0, 0,
                              static_cast<PACL>(m_previousDacl), 0);
    if (m_previousDescriptor)
        LocalFree(m_previousDescriptor);
}

bool CreationDeniedFolder::denies() const
{
    const std::wstring probe = m_folder + L"\\creation-probe";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, 0);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    CloseHandle(file);
    return false;
}

SmallVolume::SmallVolume(const std::wstring& folder, unsigned kilobytes) : m_folder(folder), m_inForce(false)
{
    if (!RunningUnderWine()) {
        m_reason = "a small volume is mounted only under Wine";
        return;
    }
    m_inForce = RunUnixScript("mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k verrand-small " +
                              QuotedUnixPath(folder)) == 0;
    if (!m_inForce)
        m_reason = "mounting a tmpfs failed (it needs the right to mount)";
}

SmallVolume::~SmallVolume()
{
    if (m_inForce)
        RunUnixScript("umount -l " + QuotedUnixPath(m_folder));
}

bool MakeUnixLink(const std::wstring& link, const std::wstring& target)
{
    return RunningUnderWine() && RunUnixScript("ln -s " + QuotedUnixPath(target) + " " + QuotedUnixPath(link)) == 0;
}
