#include "DuArgumentNames.h"

namespace DuArgumentNames {
const std::wstring Props(L"Props");
const std::wstring DUBundle(L"DUBundle");
const std::wstring Guid(L"Guid");
const std::wstring PerUser(L"PerUser");
const std::wstring DuDir(L"$du.dir");
const std::wstring LogsFolder(L"$logs.folder");
const std::wstring DuId(L"$du.id");

const std::wstring StringToFormat(L"StringToFormat");
const std::wstring InstallFolderName(L"InstallFolderName");
const std::wstring PerUserInstall(L"PerUserInstall");
const std::wstring PropertyName(L"PropertyName");
const std::wstring Use64BitLocation(L"Use64BitLocation");
const std::wstring ProductDUID(L"ProductDUID");
const std::wstring ProductFamilyDUID(L"ProductFamilyDUID");
}
