#include "BasicStringLibrary.h"

#include <Poco/Exception.h>

#include "PocoWrapper/CaseFolding.h"
#include "PocoWrapper/File.h"
#include "PocoWrapper/Path.h"
#include "PocoWrapper/String.h"
#include "StringLibraryUtility.h"
#include "log/InstallLog.h"

BasicStringLibrary::BasicStringLibrary(const std::wstring& uiTextPath, const std::wstring& language)
{
    if (uiTextPath.empty() || !PocoWrapper::File(uiTextPath).exists()) {
        InstallLog::Error(L"UI Text file doesn't exists: " + uiTextPath);
        return;
    }
    try {
        m_strings = loadStringMap(uiTextPath, language);
    } catch (const Poco::AssertionViolationException&) {
        // An empty language or a path that is not a regular file: the report
        // is in the install log, and the library stays without strings just
        // as for a missing file.
    }
    m_name = PocoWrapper::toWide(PocoWrapper::Path(uiTextPath).getFileName());
}

const std::wstring* BasicStringLibrary::Find(const wchar_t* id, std::size_t length)
{
    if (!m_strings) {
        InstallLog::Warn(L"BasicStringLib: UI text not loaded.");
        return 0;
    }
    m_key.assign(id, length);
    PocoWrapper::lowerInPlace(m_key);
    const StringMap::const_iterator found = m_strings->find(m_key);
    return found == m_strings->end() ? 0 : &found->second;
}

bool BasicStringLibrary::FindString(const std::wstring& id, std::wstring& text)
{
    const std::wstring* found = Find(id.data(), id.size());
    if (!found) {
        text.clear();
        return false;
    }
    text = *found;
    return true;
}

bool BasicStringLibrary::HasString(const std::wstring& id)
{
    return Find(id.data(), id.size()) != 0;
}

std::wstring BasicStringLibrary::GetLibraryName(const std::wstring& id)
{
    return HasString(id) ? m_name : std::wstring();
}
