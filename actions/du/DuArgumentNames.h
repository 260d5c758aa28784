#pragma once
#include <string>

// Argument and host property names of the deployment-unit actions and the
// product queries, built once when the library loads.
namespace DuArgumentNames {
extern const std::wstring Props;
extern const std::wstring DUBundle;
extern const std::wstring Guid;
extern const std::wstring PerUser;
extern const std::wstring DuDir;
extern const std::wstring LogsFolder;
extern const std::wstring DuId;

extern const std::wstring StringToFormat;
extern const std::wstring InstallFolderName;
extern const std::wstring PerUserInstall;
extern const std::wstring PropertyName;
extern const std::wstring Use64BitLocation;
extern const std::wstring ProductDUID;
extern const std::wstring ProductFamilyDUID;
}
