#include "EnvironmentChange.h"

#include <cstdint>
#include <vector>

#include "core/PathRules.h"
#include "core/RegistryNames.h"
#include "core/RollbackState.h"
#include "core/ScopedHandle.h"
#include "PocoWrapper/File.h"

namespace {
const char kMagic[] = "VerrandEnvironmentChange1";

void putNumber(std::string& bytes, std::uint32_t number)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((number >> shift) & 0xFF);
}

void putText(std::string& bytes, const std::wstring& text)
{
    putNumber(bytes, static_cast<std::uint32_t>(text.size()));
    for (wchar_t ch : text) {
        bytes += static_cast<char>(ch & 0xFF);
        bytes += static_cast<char>((ch >> 8) & 0xFF);
    }
}

void putValue(std::string& bytes, const EnvironmentValue& value)
{
    putNumber(bytes, value.exists ? 1 : 0);
    putNumber(bytes, value.type);
    putText(bytes, value.text);
}

class Reader {
public:
    explicit Reader(const std::string& bytes) : m_bytes(bytes), m_at(0) {}

    bool number(std::uint32_t& value)
    {
        if (m_bytes.size() - m_at < 4)
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[m_at + i])) << (8 * i);
        m_at += 4;
        return true;
    }

    bool text(std::wstring& value)
    {
        std::uint32_t length = 0;
        if (!number(length) || (m_bytes.size() - m_at) / 2 < length)
            return false;
        value.resize(length);
        for (std::uint32_t i = 0; i < length; ++i, m_at += 2)
            value[i] = static_cast<wchar_t>(static_cast<unsigned char>(m_bytes[m_at]) |
                                            (static_cast<unsigned char>(m_bytes[m_at + 1]) << 8));
        return true;
    }

    bool value(EnvironmentValue& value)
    {
        std::uint32_t exists = 0, type = 0;
        if (!number(exists) || !number(type) || !text(value.text) || exists > 1)
            return false;
        value.exists = exists == 1;
        value.type = type;
        return true;
    }

    bool magic()
    {
        const std::string::size_type length = sizeof(kMagic);
        if (m_bytes.compare(0, length, kMagic, length) != 0)
            return false;
        m_at = length;
        return true;
    }

    bool atEnd() const { return m_at == m_bytes.size(); }

private:
    const std::string& m_bytes;
    std::string::size_type m_at;
};

// The key of a variable's records: a hash of its name as the registry
// compares names (ordinal, without regard to case), so that "Path" and
// "PATH" share their records. The name itself is kept in each record.
std::wstring nameKey(const std::wstring& name)
{
    std::wstring upper(name.substr(0, name.find(L'\0')));
    if (!upper.empty())
        CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    std::uint64_t hash = 14695981039346656037ull;
    for (wchar_t ch : upper) {
        hash = (hash ^ (ch & 0xFF)) * 1099511628211ull;
        hash = (hash ^ ((ch >> 8) & 0xFF)) * 1099511628211ull;
    }
    wchar_t digits[17];
    swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(PocoWrapper::toExtendedLengthPathW(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool writeWhole(const std::wstring& path, const std::string& bytes, DWORD& error)
{
    ScopedHandle file(CreateFileW(PocoWrapper::toExtendedLengthPathW(path).c_str(), GENERIC_WRITE, 0, 0, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, 0));
    if (!file.valid()) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    const bool done = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, 0) &&
                      written == bytes.size() && FlushFileBuffers(file.get());
    error = done ? ERROR_SUCCESS : GetLastError();
    if (!file.close() && done)
        error = GetLastError();
    if (error != ERROR_SUCCESS)
        DeleteFileW(PocoWrapper::toExtendedLengthPathW(path).c_str());
    return error == ERROR_SUCCESS;
}
}

bool operator==(const EnvironmentValue& left, const EnvironmentValue& right)
{
    if (left.exists != right.exists)
        return false;
    return !left.exists || (left.type == right.type && left.text == right.text);
}

std::string EncodeEnvironmentChange(const EnvironmentChange& change)
{
    std::string bytes(kMagic, sizeof(kMagic));
    putText(bytes, change.name);
    putText(bytes, change.added);
    putValue(bytes, change.before);
    putValue(bytes, change.after);
    return bytes;
}

bool DecodeEnvironmentChange(const std::string& bytes, EnvironmentChange& change)
{
    Reader reader(bytes);
    return reader.magic() && reader.text(change.name) && reader.text(change.added) && reader.value(change.before) &&
           reader.value(change.after) && reader.atEnd();
}

std::wstring EnvironmentChangePath(const std::wstring& folder, const std::wstring& name, unsigned number)
{
    return JoinPath(folder, L"environment-" + nameKey(name) + L"-" + std::to_wstring(number) + L".state");
}

bool SaveEnvironmentChange(const std::wstring& folder, const EnvironmentChange& change, std::wstring& path,
                           DWORD& error)
{
    if (!MakeInvocationFolder(folder, error))
        return false;
    const std::string bytes = EncodeEnvironmentChange(change);
    // Written under a name of its own, then given its number without
    // replacing anything: a record is whole once it has one.
    for (unsigned number = 1;; ++number) {
        path = EnvironmentChangePath(folder, change.name, number);
        if (exists(path))
            continue;
        const std::wstring partial = path + L".partial";
        DeleteFileW(PocoWrapper::toExtendedLengthPathW(partial).c_str());
        if (!writeWhole(partial, bytes, error))
            return false;
        if (MoveFileExW(PocoWrapper::toExtendedLengthPathW(partial).c_str(),
                        PocoWrapper::toExtendedLengthPathW(path).c_str(), MOVEFILE_WRITE_THROUGH))
            return true;
        error = GetLastError();
        DeleteFileW(PocoWrapper::toExtendedLengthPathW(partial).c_str());
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return false;
    }
}

bool NewestEnvironmentChange(const std::wstring& folder, const std::wstring& name, std::wstring& path)
{
    unsigned number = 0;
    while (exists(EnvironmentChangePath(folder, name, number + 1)))
        ++number;
    if (number == 0)
        return false;
    path = EnvironmentChangePath(folder, name, number);
    return true;
}

bool LoadEnvironmentChange(const std::wstring& path, const std::wstring& name, EnvironmentChange& change,
                           DWORD& error)
{
    ScopedHandle file(CreateFileW(PocoWrapper::toExtendedLengthPathW(path).c_str(), GENERIC_READ, FILE_SHARE_READ, 0,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0));
    LARGE_INTEGER size;
    if (!file.valid() || !GetFileSizeEx(file.get(), &size)) {
        error = GetLastError();
        return false;
    }
    // Far more than any record of a value the registry keeps.
    if (size.QuadPart > 16 * 1024 * 1024) {
        error = ERROR_INVALID_DATA;
        return false;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, 0)) {
        error = GetLastError();
        return false;
    }
    if (read != bytes.size()) {
        error = ERROR_HANDLE_EOF;
        return false;
    }
    if (!DecodeEnvironmentChange(bytes, change) || !SameRegistryName(change.name, name)) {
        error = ERROR_INVALID_DATA;
        return false;
    }
    return true;
}
