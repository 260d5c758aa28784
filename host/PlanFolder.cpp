#include "PlanFolder.h"

#include <windows.h>

#include "core/FileLinks.h"
#include "core/RandomName.h"

#include "Output.h"
#include "UsageFailure.h"

namespace {
const size_t kStepsPerGroup = 100;
const int kNameAttempts = 100;

std::string errorText(const std::string& what, DWORD error)
{
    return what + " (error " + std::to_string(error) + ")";
}

std::wstring randomHex()
{
    std::wstring name;
    DWORD error = 0;
    if (!RandomHexName(name, error))
        throw UsageFailure{ errorText("cannot make a name for the plan's folder", error) };
    return name;
}

// CreateDirectoryW refuses a folder that exists already: that is what makes
// the folder this run's own.
bool createExclusively(const std::wstring& path)
{
    if (CreateDirectoryW(path.c_str(), 0))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS)
        return false;
    throw UsageFailure{ errorText("cannot create the folder " + utf8(path), error) };
}
}

std::wstring StepFolderName(size_t index)
{
    return L"group-" + std::to_wstring((index - 1) / kStepsPerGroup + 1) + L"\\step-" + std::to_wstring(index);
}

PlanFolder::PlanFolder() : m_keep(false)
{
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        throw UsageFailure{ errorText("cannot find the temporary folder", GetLastError()) };
    const std::wstring prefix =
        std::wstring(temp, length) + L"verrand-plan-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::wstring candidate = prefix + randomHex();
        if (createExclusively(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw UsageFailure{ "cannot find a free name for the plan's folder under " + utf8(std::wstring(temp, length)) };
}

PlanFolder::~PlanFolder()
{
    if (m_keep)
        return;
    // Links in the folder (a step may have kept one) are removed as links,
    // never followed into what they point to.
    std::wstring failed;
    DWORD error = 0;
    if (!RemoveTreeNoFollow(m_path, failed, error))
        Output::error(errorText("cannot remove the plan's folder " + utf8(m_path) + ": " + utf8(failed), error));
}

bool PlanFolder::stepFolderHoldsState(const std::wstring& stepFolder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((stepFolder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND;
    bool holds = false;
    do
        holds = std::wstring(data.cFileName) != L"." && std::wstring(data.cFileName) != L"..";
    while (!holds && FindNextFileW(find, &data));
    FindClose(find);
    return holds;
}

std::wstring PlanFolder::makeStepFolder(size_t index)
{
    const std::wstring name = StepFolderName(index);
    const std::wstring group = m_path + L"\\" + name.substr(0, name.find(L'\\'));
    if ((index - 1) % kStepsPerGroup == 0 && !createExclusively(group))
        throw UsageFailure{ "the folder " + utf8(group) + " appeared before the plan made it" };
    const std::wstring folder = m_path + L"\\" + name;
    if (!createExclusively(folder))
        throw UsageFailure{ "the folder " + utf8(folder) + " appeared before the plan made it" };
    return folder;
}
