#pragma once
// Where a run of actions and plans reports: the host prints it, the C
// interface hands it to its caller's callbacks, the NSIS plugin to the
// installer's details list and the install log.
#include <cstddef>
#include <string>

#include "core/KnownSecrets.h"

class RunOutput {
public:
    // The front door's one masking point: the secrets of the steps run so
    // far, which every text it lets out is masked with.
    virtual KnownSecrets& secrets() = 0;
    virtual void log(int level, const std::wstring& text) = 0;
    virtual void property(const std::wstring& name, const std::wstring& value) = 0;
    virtual void result(const std::wstring& action, int status) = 0;
    virtual void exception(const std::wstring& action, const std::string& what) = 0;
    // A plan's progress: step `index` (from 1) of `of` starts; the twin of
    // step `index` starts; the plan ended with `status`. keptFolder is the
    // plan's folder when it was kept, else empty.
    virtual void step(size_t index, size_t of, const std::wstring& action) = 0;
    virtual void rollback(size_t index, const std::wstring& action) = 0;
    virtual void plan(int status, bool interrupted, const std::wstring& keptFolder) = 0;
    // A line for people only.
    virtual void note(const std::string& text) = 0;
    // Why a plan cannot go on (a step's folder cannot be made).
    virtual void failure(const std::string& text) = 0;

protected:
    ~RunOutput() {}
};

// Told when an action a run calls has returned (the host shows what child
// processes wrote by then).
class ActionObserver {
public:
    virtual void flush() = 0;

protected:
    ~ActionObserver() {}
};
