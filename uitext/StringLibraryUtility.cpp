#include "StringLibraryUtility.h"

#include "PocoWrapper/ExceptionReport.h"
#include "PocoWrapper/File.h"
#include "UiTextMap.h"

namespace {
const char* const kSource = "StringLibraryUtility";
}

boost::shared_ptr<StringMap> loadStringMap(const std::wstring& uiTextPath, const std::wstring& setupUILanguage)
{
    if (uiTextPath.empty())
        ReportAssertion("!uiTextPath.empty()", kSource, __LINE__, L"");
    if (setupUILanguage.empty())
        ReportAssertion("!setupUILanguage.empty()", kSource, __LINE__, L"");
    const PocoWrapper::File uiTextPathFile(uiTextPath);
    if (!uiTextPathFile.isFile())
        ReportAssertion("uiTextPathFile.isFile()", kSource, __LINE__, L"Could not find ui text file: " + uiTextPath);
    return getStringMap(uiTextPath, setupUILanguage);
}
