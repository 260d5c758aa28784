#include "RollbackState.h"

#include "core/FileIdentity.h"
#include "core/FileLinks.h"
#include "core/PathRules.h"
#include "core/ScopedHandle.h"
#include "PocoWrapper/File.h"
#include "PocoWrapper/String.h"

namespace {
const wchar_t* const kSignalName = L"DoRollback";
const wchar_t* const kSignalDraft = L"DoRollback.new";

std::vector<std::wstring> splitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::wstring::size_type start = 0;
    while (start < text.size()) {
        std::wstring::size_type end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool readWhole(const std::wstring& path, std::string& bytes)
{
    ScopedHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, 0));
    if (!file.valid())
        return false;
    char buffer[4096];
    DWORD got = 0;
    bytes.clear();
    while (ReadFile(file.get(), buffer, sizeof(buffer), &got, 0) && got > 0)
        bytes.append(buffer, got);
    return true;
}

bool writeWhole(const std::wstring& path, const std::string& bytes, DWORD& error)
{
    ScopedHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, 0));
    DWORD written = 0;
    const bool done = file.valid() &&
                      WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, 0) &&
                      written == bytes.size() && FlushFileBuffers(file.get());
    if (!done)
        error = GetLastError();
    if (!file.close() && done) {
        error = GetLastError();
        return false;
    }
    return done;
}
}

std::wstring StateKey(const std::wstring& fullPath)
{
    // FNV-1a over the upper-cased text, as the file system compares names.
    std::wstring upper(fullPath);
    if (!upper.empty())
        CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    unsigned long long hash = 14695981039346656037ULL;
    for (wchar_t ch : upper) {
        hash ^= static_cast<unsigned short>(ch);
        hash *= 1099511628211ULL;
    }
    const wchar_t* const digits = L"0123456789abcdef";
    std::wstring key(16, L'0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        key[i] = digits[hash & 15];
    return key;
}

RollbackState::RollbackState(const std::wstring& invocationFolder, const std::wstring& kind,
                             const std::wstring& object)
    : m_invocationFolder(invocationFolder), m_object(WithoutExtendedPrefix(FullPath(object)))
{
    m_folder = JoinPath(invocationFolder, kind + L"-" + StateKey(m_object));
}

std::wstring RollbackState::signalPath() const
{
    return JoinPath(m_folder, kSignalName);
}

std::wstring RollbackState::kept(const std::wstring& name) const
{
    return JoinPath(m_folder, name);
}

bool RollbackState::present() const
{
    return AttributesAt(signalPath()) != INVALID_FILE_ATTRIBUTES;
}

bool RollbackState::read(RollbackSignal& signal) const
{
    std::string bytes;
    if (!readWhole(signalPath(), bytes))
        return false;
    const std::vector<std::wstring> lines = splitLines(PocoWrapper::toWide(bytes));
    if (lines.size() < 2 || !SameFileName(lines[0], m_object))
        return false;
    signal.object = lines[0];
    signal.change = lines[1];
    signal.madeFolders.assign(lines.begin() + 2, lines.end());
    return true;
}

bool RollbackState::write(const RollbackSignal& signal, DWORD& error) const
{
    if (!PocoWrapper::File(m_invocationFolder).createDirectories() ||
        (!CreateDirectoryW(ExtendedLengthPath(m_folder).c_str(), 0) && GetLastError() != ERROR_ALREADY_EXISTS)) {
        error = GetLastError();
        return false;
    }
    std::wstring text = signal.object + L"\n" + signal.change + L"\n";
    for (const std::wstring& folder : signal.madeFolders)
        text += folder + L"\n";
    const std::wstring draft = JoinPath(m_folder, kSignalDraft);
    if (!writeWhole(draft, PocoWrapper::toUtf8(text), error)) {
        DeleteFileW(ExtendedLengthPath(draft).c_str());
        return false;
    }
    if (!MoveFileExW(ExtendedLengthPath(draft).c_str(), ExtendedLengthPath(signalPath()).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileW(ExtendedLengthPath(draft).c_str());
        return false;
    }
    return true;
}

bool RollbackState::discard(std::wstring& failedPath, DWORD& error) const
{
    return RemoveTreeNoFollow(m_folder, failedPath, error);
}
