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

bool BasicStringLibrary::Find(const wchar_t* id, std::size_t length, StoredText& text)
{
    if (!m_strings) {
        InstallLog::Warn(L"BasicStringLib: UI text not loaded.");
        return false;
    }
    m_key.assign(id, length);
    PocoWrapper::lowerInPlace(m_key);
    return m_strings->find(m_key.data(), m_key.size(), text);
}

bool BasicStringLibrary::FindString(const std::wstring& id, std::wstring& text)
{
    StoredText found;
    if (!Find(id.data(), id.size(), found)) {
        text.clear();
        return false;
    }
    text = found.str();
    return true;
}

bool BasicStringLibrary::HasString(const std::wstring& id)
{
    StoredText found;
    return Find(id.data(), id.size(), found);
}

std::wstring BasicStringLibrary::GetLibraryName(const std::wstring& id)
{
    return HasString(id) ? m_name : std::wstring();
}
