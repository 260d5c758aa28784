// DeleteRegistryKey: deletes one value, or one key without subkeys, below a
// predefined root named by its long name. Failures are only reported; a
// missing value or key counts as done.
#include "core/Action.h"

#include "RegistryArgumentNames.h"
#include "RootKeys.h"

namespace {
void deleteValue(IActionContext& context, HKEY root, const std::wstring& path, const std::wstring& value)
{
    HKEY key = 0;
    LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key);
    if (rc == ERROR_SUCCESS) {
        rc = RegDeleteValueW(key, value.c_str());
        RegCloseKey(key);
    }
    if (rc != ERROR_SUCCESS)
        context.Log(LogLevelInfo, L"failed to delete registry value:" + path + value);
}

void deleteKey(IActionContext& context, HKEY root, const std::wstring& path)
{
    if (RegDeleteKeyW(root, path.c_str()) != ERROR_SUCCESS)
        context.Log(LogLevelInfo, L"failed to delete registry key:" + path);
}
}

VERRAND_ACTION(DeleteRegistryKey)
{
    const std::wstring path = *context->GetArg(RegistryArgumentNames::Path);
    const std::wstring rootName = *context->GetArg(RegistryArgumentNames::Root);
    const std::wstring value = *context->GetArg(RegistryArgumentNames::Value);

    HKEY root = 0;
    if (!LongRootKey(rootName, root)) {
        context->Log(LogLevelInfo, L"Root is invalid:" + rootName);
        return ActionFailed;
    }
    if (!value.empty())
        deleteValue(*context, root, path, value);
    else
        deleteKey(*context, root, path);
    return ActionDone;
}
