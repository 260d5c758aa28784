#include "MsiQuery.h"

UINT ReadRecordText(MSIHANDLE record, UINT field, std::wstring& text)
{
    wchar_t empty[1] = { 0 };
    DWORD size = 0;
    UINT result = MsiRecordGetStringW(record, field, empty, &size);
    if (result == ERROR_SUCCESS) {
        text.clear();
        return result;
    }
    if (result != ERROR_MORE_DATA)
        return result;
    std::wstring buffer(size + 1, L'\0');
    size = static_cast<DWORD>(buffer.size());
    result = MsiRecordGetStringW(record, field, &buffer[0], &size);
    if (result == ERROR_SUCCESS)
        text.assign(buffer, 0, size);
    return result;
}

UINT OpenQuery(MSIHANDLE database, const std::wstring& query, MSIHANDLE parameters, ScopedMsiHandle& view,
               std::wstring& what)
{
    MSIHANDLE viewHandle = 0;
    UINT result = MsiDatabaseOpenViewW(database, query.c_str(), &viewHandle);
    ScopedMsiHandle opened(viewHandle);
    if (result != ERROR_SUCCESS) {
        what = L"open a view of " + query;
        return result;
    }
    result = MsiViewExecute(opened.get(), parameters);
    if (result != ERROR_SUCCESS) {
        what = L"run " + query;
        return result;
    }
    view.reset(opened.release());
    return ERROR_SUCCESS;
}
