#pragma once
// Reading Windows Installer databases: a record's text fields and the rows
// of a query, each call reporting the installer's error number. Used on a
// running package's database and on a package file alike.
#include <string>

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include "ScopedMsiHandle.h"

// The text of a record's field (empty for a null field).
UINT ReadRecordText(MSIHANDLE record, UINT field, std::wstring& text);

// Opens and runs query on database, with parameters (a record for its "?"
// markers, or 0). On failure, what names the step that failed.
UINT OpenQuery(MSIHANDLE database, const std::wstring& query, MSIHANDLE parameters, ScopedMsiHandle& view,
               std::wstring& what);

// Runs query and calls row(record) for each row, stopping at the first
// answer other than ERROR_SUCCESS, which it returns.
template <class Row>
UINT EachRow(MSIHANDLE database, const std::wstring& query, MSIHANDLE parameters, Row row, std::wstring& what)
{
    ScopedMsiHandle view;
    UINT result = OpenQuery(database, query, parameters, view, what);
    if (result != ERROR_SUCCESS)
        return result;
    for (;;) {
        MSIHANDLE recordHandle = 0;
        result = MsiViewFetch(view.get(), &recordHandle);
        ScopedMsiHandle record(recordHandle);
        if (result == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (result == ERROR_SUCCESS)
            result = row(record.get());
        if (result != ERROR_SUCCESS) {
            what = L"read a row of " + query;
            return result;
        }
    }
}
