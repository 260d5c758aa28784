#pragma once
// What LMRXTextReplace keeps for its rollback twin when it is given an
// invocation-data folder, in the state folder of the edited file
// ("edit-KEY", RollbackState): the signal, the original file itself
// ("Original", moved there by a rename in place of being deleted, so that
// an edit of any size costs no extra copy) and a record of what the edit
// left ("Edited"): the path of the file edited and the evidence that a file
// there is still the one the edit wrote (its identity, size, last write
// time and the hash of the bytes, taken as they were written).
//
// The signal is written before the edit begins, the record under another
// name ("Edited.new") once the edited copy is complete and before the file
// is touched; the record takes its own name once the edit is in place. The
// twin takes either as evidence, so no moment of the edit leaves a state
// the twin would misread.
#include <string>
#include <vector>

#include <windows.h>

#include "core/FileIdentity.h"
#include "core/ILogger.h"
#include "core/RollbackState.h"

#include "ReplaceFileVariables.h"

// A file as an edit left it.
struct WrittenFile {
    FileIdentity identity;
    unsigned long long size;
    FILETIME lastWrite;
    std::wstring hash; // ContentHash::text() of its bytes
};

// The record's text and back: the edited path, then the evidence.
std::string EditRecordText(const std::wstring& path, const WrittenFile& file);
bool ParseEditRecord(const std::string& text, std::wstring& path, WrittenFile& file);

// True when the same identity, size and last write time stand for both
// (the hash is not compared).
bool SameFileInformation(const WrittenFile& left, const WrittenFile& right);

// The state of one file's edit, and the keeper that puts the edited copy in
// place while the original goes into the state.
class TextEditState : public OriginalKeeper {
public:
    TextEditState(ILogger& log, const std::wstring& invocationFolder, const std::wstring& file);
    // A state this run wrote for an edit that never reached the file goes.
    ~TextEditState();

    // Before the edit: a state of an earlier run of the same step is kept
    // (its original is what the user had), as long as the file is still the
    // one that run wrote; false, after a level-4 line, when it is not.
    bool accept();
    // Before the edit writes anything: the signal of a fresh state, written
    // while no other data waits for the disk. False, after a level-4 line,
    // when it cannot be written.
    bool begin();

    void replace(const std::wstring& original, const std::wstring& replacement, const ContentHash& written);

    // The twin's work: puts the original back when the file is still what
    // the edit left; the action's status.
    int rollBack();

private:
    // What the records (final and draft) say the edit left, and where.
    bool readRecords(std::wstring& path, std::vector<WrittenFile>& left) const;
    // True when what stands at path is one of the files the records name.
    bool isWhatTheEditLeft(const std::wstring& path, const std::vector<WrittenFile>& left) const;
    void forgetOwnState();
    [[noreturn]] void fail(const std::wstring& line, DWORD error);

    ILogger& m_log;
    const RollbackState m_state;
    bool m_earlier;      // a signal of an earlier run stands
    bool m_originalKept; // and that run's original is in the state
    bool m_ownState;     // this run wrote the signal
    bool m_touched;      // the original went into the state, or its copy did
};
