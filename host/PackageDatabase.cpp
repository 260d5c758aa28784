#include "PackageDatabase.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include <windows.h>

#include <msidefs.h>
#include <objbase.h>

#include "core/MsiQuery.h"
#include "core/PackageStepNames.h"
#include "core/ScopedHandle.h"

#include "msi/CustomActionData.h"

#include "Output.h"
#include "UsageFailure.h"

namespace {
// The argument table's rows: one for each action, its arguments in one
// text, and the run that serves them.
struct ActionArguments {
    CustomActionArguments arguments;
    std::wstring served;
};

std::map<std::wstring, ActionArguments> argumentsByAction(const std::vector<ArgumentRow>& rows)
{
    std::map<std::wstring, ActionArguments> actions;
    for (const ArgumentRow& row : rows) {
        ActionArguments& action = actions[row.action];
        action.arguments[row.name] = row.value;
        action.served = row.served;
    }
    return actions;
}

// What the installer answers for a null number field.
const int NullInteger = static_cast<int>(MSI_NULL_INTEGER);

[[noreturn]] void fail(const std::wstring& package, const std::string& what, UINT error)
{
    throw PackageFailure{ utf8(package) + ": couldn't " + what + " (error " + std::to_string(error) + ")" };
}

// A record of texts, for a query's "?" markers or a row to insert.
UINT makeRecord(std::initializer_list<std::wstring> texts, ScopedMsiHandle& record)
{
    record.reset(MsiCreateRecord(static_cast<UINT>(texts.size())));
    if (!record.get())
        return ERROR_OUTOFMEMORY;
    UINT field = 1;
    for (const std::wstring& text : texts) {
        const UINT result = MsiRecordSetStringW(record.get(), field++, text.c_str());
        if (result != ERROR_SUCCESS)
            return result;
    }
    return ERROR_SUCCESS;
}

class Database {
public:
    Database(const std::wstring& path, LPCWSTR mode) : m_path(path)
    {
        MSIHANDLE handle = 0;
        const UINT result = MsiOpenDatabaseW(path.c_str(), mode, &handle);
        m_handle.reset(handle);
        if (result != ERROR_SUCCESS)
            fail(path, "open the package", result);
    }
    MSIHANDLE get() const { return m_handle.get(); }
    const std::wstring& path() const { return m_path; }

    // Calls row(record) for each row of query.
    template <class Row>
    void each(const std::wstring& query, MSIHANDLE parameters, Row row)
    {
        std::wstring what;
        const UINT result = EachRow(
            get(), query, parameters,
            [&](MSIHANDLE record) {
                row(record);
                return static_cast<UINT>(ERROR_SUCCESS);
            },
            what);
        if (result != ERROR_SUCCESS)
            fail(m_path, utf8(what), result);
    }
    void execute(const std::wstring& query, MSIHANDLE parameters = 0)
    {
        ScopedMsiHandle view;
        std::wstring what;
        const UINT result = OpenQuery(get(), query, parameters, view, what);
        if (result != ERROR_SUCCESS)
            fail(m_path, utf8(what), result);
    }
    // Inserts record as a row through a view of the table's columns.
    void insert(const std::wstring& columnsQuery, MSIHANDLE record)
    {
        ScopedMsiHandle view;
        std::wstring what;
        UINT result = OpenQuery(get(), columnsQuery, 0, view, what);
        if (result != ERROR_SUCCESS)
            fail(m_path, utf8(what), result);
        result = MsiViewModify(view.get(), MSIMODIFY_INSERT, record);
        if (result != ERROR_SUCCESS)
            fail(m_path, "insert a row through " + utf8(columnsQuery), result);
    }
    std::wstring text(MSIHANDLE record, UINT field)
    {
        std::wstring value;
        const UINT result = ReadRecordText(record, field, value);
        if (result != ERROR_SUCCESS)
            fail(m_path, "read a field", result);
        return value;
    }

private:
    std::wstring m_path;
    ScopedMsiHandle m_handle;
};

ScopedMsiHandle* parameters(std::initializer_list<std::wstring> texts, ScopedMsiHandle& record,
                            const std::wstring& package)
{
    const UINT result = makeRecord(texts, record);
    if (result != ERROR_SUCCESS)
        fail(package, "make a record", result);
    return &record;
}

std::string fileBytes(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file)
        throw PackageFailure{ "cannot read " + utf8(path) };
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Opens a path for its identity only (folders too, sharing everything).
bool sameFile(const std::wstring& first, const std::wstring& second)
{
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::wstring* paths[] = { &first, &second };
    for (int i = 0; i < 2; ++i) {
        ScopedHandle file(CreateFileW(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, 0));
        if (!file.valid() || !GetFileInformationByHandle(file.get(), &info[i]))
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// The temporary copy: removed unless it was moved into place.
class TemporaryCopy {
public:
    explicit TemporaryCopy(const std::wstring& output)
        : m_path(output + L"." + std::to_wstring(GetCurrentProcessId()) + L".partial"), m_owned(false)
    {
    }
    ~TemporaryCopy()
    {
        if (m_owned)
            DeleteFileW(m_path.c_str());
    }
    const std::wstring& path() const { return m_path; }
    void copyFrom(const std::wstring& input)
    {
        if (!CopyFileW(input.c_str(), m_path.c_str(), TRUE))
            fail(m_path, "copy " + utf8(input) + " to it", GetLastError());
        m_owned = true;
        // A read-only input gives a read-only copy, which the installer cannot open for writing.
        if (!SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL))
            fail(m_path, "make the copy writable", GetLastError());
    }
    void moveTo(const std::wstring& output)
    {
        if (!MoveFileExW(m_path.c_str(), output.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            fail(output, "move " + utf8(m_path) + " into place", GetLastError());
        m_owned = false;
    }

private:
    std::wstring m_path;
    bool m_owned;
};

const wchar_t* const CustomActionColumns = L"SELECT `Action`, `Type`, `Source`, `Target` FROM `CustomAction`";
const wchar_t* const SequenceColumns = L"SELECT `Action`, `Condition`, `Sequence` FROM `InstallExecuteSequence`";
const wchar_t* const PropertyColumns = L"SELECT `Property`, `Value` FROM `Property`";
const wchar_t* const CreateFolderColumns = L"SELECT `Directory_`, `Component_` FROM `CreateFolder`";

// The package code (the summary's revision number): Windows Installer
// caches a package by it, so the written package gets a code of its own.
std::wstring newPackageCode()
{
    GUID guid;
    wchar_t text[40] = { 0 };
    const HRESULT made = CoCreateGuid(&guid);
    if (FAILED(made) || !StringFromGUID2(guid, text, 40))
        throw PackageFailure{ "couldn't make a package code (error " + std::to_string(made) + ")" };
    return text;
}

const UINT RevisionNumber = 9;

std::wstring packageCode(Database& database)
{
    MSIHANDLE handle = 0;
    UINT result = MsiGetSummaryInformationW(database.get(), 0, 0, &handle);
    ScopedMsiHandle summary(handle);
    if (result != ERROR_SUCCESS)
        fail(database.path(), "read the summary information", result);
    std::wstring code(64, L'\0');
    DWORD size = static_cast<DWORD>(code.size());
    UINT type = 0;
    result = MsiSummaryInfoGetPropertyW(summary.get(), RevisionNumber, &type, 0, 0, &code[0], &size);
    if (result != ERROR_SUCCESS)
        fail(database.path(), "read the package code", result);
    code.resize(size);
    return code;
}

void setPackageCode(Database& database, const std::wstring& code)
{
    MSIHANDLE handle = 0;
    UINT result = MsiGetSummaryInformationW(database.get(), 0, 1, &handle);
    ScopedMsiHandle summary(handle);
    if (result == ERROR_SUCCESS)
        result = MsiSummaryInfoSetPropertyW(summary.get(), RevisionNumber, VT_LPSTR, 0, 0, code.c_str());
    if (result == ERROR_SUCCESS)
        result = MsiSummaryInfoPersist(summary.get());
    if (result != ERROR_SUCCESS)
        fail(database.path(), "write the package code", result);
}

void addRows(Database& database, const PackageFacts& facts, const PackageAdditions& additions,
             const std::wstring& customActionDll)
{
    const std::wstring table = PackageStepNames::ArgumentTable;
    if (!facts.tables.count(L"CustomAction"))
        database.execute(L"CREATE TABLE `CustomAction` (`Action` CHAR(72) NOT NULL, `Type` SHORT NOT NULL, "
                         L"`Source` CHAR(72), `Target` CHAR(255) PRIMARY KEY `Action`)");
    if (!facts.tables.count(L"Binary"))
        database.execute(L"CREATE TABLE `Binary` (`Name` CHAR(72) NOT NULL, `Data` OBJECT NOT NULL PRIMARY KEY `Name`)");
    database.execute(L"CREATE TABLE `" + table +
                     L"` (`Action` CHAR(72) NOT NULL, `Arguments` LONGCHAR, `Served` CHAR(16) PRIMARY KEY `Action`)");

    ScopedMsiHandle record;
    parameters({ CustomActionBinary, L"" }, record, database.path());
    const UINT streamed = MsiRecordSetStreamW(record.get(), 2, customActionDll.c_str());
    if (streamed != ERROR_SUCCESS)
        fail(database.path(), "read " + utf8(customActionDll) + " into the Binary row", streamed);
    database.insert(L"SELECT `Name`, `Data` FROM `Binary`", record.get());

    for (const CustomActionRow& row : additions.customActions) {
        parameters({ row.action, L"", row.source, row.target }, record, database.path());
        MsiRecordSetInteger(record.get(), 2, row.type);
        database.insert(CustomActionColumns, record.get());
    }
    for (const SequenceRow& row : additions.sequence) {
        parameters({ row.action, row.condition, L"" }, record, database.path());
        MsiRecordSetInteger(record.get(), 3, row.sequence);
        database.insert(SequenceColumns, record.get());
    }
    for (const auto& action : argumentsByAction(additions.arguments)) {
        parameters({ action.first, CustomActionDataText(action.second.arguments), action.second.served }, record,
                   database.path());
        database.insert(L"SELECT `Action`, `Arguments`, `Served` FROM `" + table + L"`", record.get());
    }
    for (const auto& property : additions.newProperties) {
        parameters({ property.first, property.second }, record, database.path());
        database.insert(PropertyColumns, record.get());
    }
    if (!additions.createFolders.empty() && !facts.tables.count(L"CreateFolder"))
        database.execute(L"CREATE TABLE `CreateFolder` (`Directory_` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL "
                         L"PRIMARY KEY `Directory_`, `Component_`)");
    for (const ComponentFolder& row : additions.createFolders) {
        parameters({ row.directory, row.component }, record, database.path());
        database.insert(CreateFolderColumns, record.get());
    }
    if (!additions.hiddenProperties.empty()) {
        if (facts.properties.count(L"MsiHiddenProperties")) {
            parameters({ additions.hiddenProperties }, record, database.path());
            database.execute(L"UPDATE `Property` SET `Value` = ? WHERE `Property` = 'MsiHiddenProperties'", record.get());
        } else {
            parameters({ L"MsiHiddenProperties", additions.hiddenProperties }, record, database.path());
            database.insert(PropertyColumns, record.get());
        }
    }
    setPackageCode(database, additions.packageCode);
    const UINT committed = MsiDatabaseCommit(database.get());
    if (committed != ERROR_SUCCESS)
        fail(database.path(), "commit the package", committed);
}

// Reads one row by its key; false when there is none.
template <class Row>
bool readRow(Database& database, const std::wstring& query, std::initializer_list<std::wstring> key, Row row)
{
    ScopedMsiHandle record;
    parameters(key, record, database.path());
    bool found = false;
    database.each(query, record.get(), [&](MSIHANDLE fetched) {
        found = true;
        row(fetched);
    });
    return found;
}

std::string streamBytes(Database& database)
{
    std::string bytes;
    readRow(database, L"SELECT `Data` FROM `Binary` WHERE `Name` = ?", { CustomActionBinary }, [&](MSIHANDLE record) {
        char buffer[65536];
        for (;;) {
            DWORD size = sizeof buffer;
            const UINT result = MsiRecordReadStream(record, 1, buffer, &size);
            if (result != ERROR_SUCCESS)
                fail(database.path(), "read the Binary row back", result);
            if (size == 0)
                break;
            bytes.append(buffer, size);
        }
    });
    return bytes;
}

void checkRows(Database& database, const PackageAdditions& additions, const std::wstring& customActionDll)
{
    std::vector<std::string> wrong;
    for (const CustomActionRow& row : additions.customActions) {
        const bool found = readRow(database, L"SELECT `Type`, `Source`, `Target` FROM `CustomAction` WHERE `Action` = ?",
                                   { row.action }, [&](MSIHANDLE record) {
                                       if (MsiRecordGetInteger(record, 1) != row.type ||
                                           database.text(record, 2) != row.source ||
                                           database.text(record, 3) != row.target)
                                           wrong.push_back("custom action " + utf8(row.action));
                                   });
        if (!found)
            wrong.push_back("custom action " + utf8(row.action) + " is missing");
    }
    const auto sequenceOf = [&](const std::wstring& action) {
        int sequence = NullInteger;
        readRow(database, L"SELECT `Sequence` FROM `InstallExecuteSequence` WHERE `Action` = ?", { action },
                [&](MSIHANDLE record) { sequence = MsiRecordGetInteger(record, 1); });
        return sequence;
    };
    for (const SequenceRow& row : additions.sequence) {
        std::wstring condition;
        readRow(database, L"SELECT `Condition` FROM `InstallExecuteSequence` WHERE `Action` = ?", { row.action },
                [&](MSIHANDLE record) { condition = database.text(record, 1); });
        const int sequence = sequenceOf(row.action);
        const int low = row.after.empty() ? 0 : sequenceOf(row.after);
        const int high = sequenceOf(row.before);
        if (sequence != row.sequence || condition != row.condition || low == NullInteger ||
            high == NullInteger || !(low < sequence && sequence < high))
            wrong.push_back("sequence of " + utf8(row.action) + " (" + std::to_string(sequence) + ", between " +
                            std::to_string(low) + " and " + std::to_string(high) + ")");
    }
    for (const auto& action : argumentsByAction(additions.arguments)) {
        std::wstring text, served, refusal;
        const bool found = readRow(database,
                                   L"SELECT `Arguments`, `Served` FROM `" + std::wstring(PackageStepNames::ArgumentTable) +
                                       L"` WHERE `Action` = ?",
                                   { action.first }, [&](MSIHANDLE record) {
                                       text = database.text(record, 1);
                                       served = database.text(record, 2);
                                   });
        CustomActionArguments arguments;
        if (!found || !ParseCustomActionData(text, arguments, refusal) || arguments != action.second.arguments ||
            served != action.second.served)
            wrong.push_back("arguments of " + utf8(action.first));
    }
    for (const ComponentFolder& row : additions.createFolders)
        if (!readRow(database, std::wstring(CreateFolderColumns) + L" WHERE `Directory_` = ? AND `Component_` = ?",
                     { row.directory, row.component }, [](MSIHANDLE) {}))
            wrong.push_back("CreateFolder row " + utf8(row.directory));
    std::map<std::wstring, std::wstring> properties = additions.newProperties;
    if (!additions.hiddenProperties.empty())
        properties[L"MsiHiddenProperties"] = additions.hiddenProperties;
    for (const auto& property : properties) {
        std::wstring value;
        const bool found = readRow(database, L"SELECT `Value` FROM `Property` WHERE `Property` = ?", { property.first },
                                   [&](MSIHANDLE record) { value = database.text(record, 1); });
        if (!found || value != property.second)
            wrong.push_back("property " + utf8(property.first));
    }
    if (packageCode(database) != additions.packageCode)
        wrong.push_back("the package code");
    if (streamBytes(database) != fileBytes(customActionDll))
        wrong.push_back("the bytes of the Binary row " + utf8(CustomActionBinary));
    if (!wrong.empty()) {
        std::string list;
        for (const std::string& item : wrong)
            list += (list.empty() ? "" : ", ") + item;
        throw PackageFailure{ utf8(database.path()) + ": the written package reads back wrong: " + list };
    }
}
}

PackageFacts ReadPackageFacts(const std::wstring& path)
{
    Database database(path, MSIDBOPEN_READONLY);
    PackageFacts facts;
    database.each(L"SELECT `Name` FROM `_Tables`", 0,
                  [&](MSIHANDLE record) { facts.tables.insert(database.text(record, 1)); });
    const auto keys = [&](const wchar_t* table, const wchar_t* column, std::set<std::wstring>& into) {
        if (facts.tables.count(table))
            database.each(std::wstring(L"SELECT `") + column + L"` FROM `" + table + L"`", 0,
                          [&](MSIHANDLE record) { into.insert(database.text(record, 1)); });
    };
    keys(L"CustomAction", L"Action", facts.customActions);
    keys(L"Binary", L"Name", facts.binaries);
    keys(L"File", L"File", facts.files);
    if (facts.tables.count(L"Component"))
        database.each(L"SELECT `Component`, `Directory_` FROM `Component`", 0, [&](MSIHANDLE record) {
            facts.folders.components.push_back(ComponentFolder{ database.text(record, 1), database.text(record, 2) });
            facts.components.insert(facts.folders.components.back().component);
        });
    if (facts.tables.count(L"Directory"))
        database.each(L"SELECT `Directory`, `Directory_Parent`, `DefaultDir` FROM `Directory`", 0, [&](MSIHANDLE record) {
            facts.folders.directories.push_back(
                DirectoryRow{ database.text(record, 1), database.text(record, 2), database.text(record, 3) });
        });
    if (facts.tables.count(L"CreateFolder"))
        database.each(CreateFolderColumns, 0, [&](MSIHANDLE record) {
            facts.folders.createFolders.push_back(ComponentFolder{ database.text(record, 2), database.text(record, 1) });
        });
    if (facts.tables.count(L"InstallExecuteSequence"))
        database.each(L"SELECT `Action`, `Sequence` FROM `InstallExecuteSequence`", 0, [&](MSIHANDLE record) {
            const int sequence = MsiRecordGetInteger(record, 2);
            facts.executeSequence[database.text(record, 1)] = sequence == NullInteger ? 0 : sequence;
        });
    if (facts.tables.count(L"Property"))
        database.each(PropertyColumns, 0, [&](MSIHANDLE record) {
            facts.properties[database.text(record, 1)] = database.text(record, 2);
        });
    if (facts.tables.count(L"Upgrade"))
        database.each(L"SELECT `ActionProperty`, `Attributes` FROM `Upgrade`", 0, [&](MSIHANDLE record) {
            const int attributes = MsiRecordGetInteger(record, 2);
            const bool onlyDetect = attributes != NullInteger && (attributes & msidbUpgradeAttributesOnlyDetect);
            const std::wstring property = database.text(record, 1);
            if (!onlyDetect && std::find(facts.upgradeProperties.begin(), facts.upgradeProperties.end(), property) ==
                                   facts.upgradeProperties.end())
                facts.upgradeProperties.push_back(property);
        });
    return facts;
}

void WritePackage(const std::wstring& input, const std::wstring& output, const PackageAdditions& additions,
                  const std::wstring& customActionDll)
{
    if (sameFile(input, output))
        throw UsageFailure{ "msi: the output package " + utf8(output) + " is the input package" };
    const PackageFacts facts = ReadPackageFacts(input);
    PackageAdditions written = additions;
    written.packageCode = newPackageCode();
    TemporaryCopy copy(output);
    copy.copyFrom(input);
    {
        Database database(copy.path(), MSIDBOPEN_TRANSACT);
        addRows(database, facts, written, customActionDll);
    }
    {
        Database database(copy.path(), MSIDBOPEN_READONLY);
        checkRows(database, written, customActionDll);
    }
    copy.moveTo(output);
}
