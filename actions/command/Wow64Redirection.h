#pragma once
// Switches WOW64 file-system redirection off for the calling thread while the
// object lives. The two kernel functions are looked up at run time, so the
// code also loads where they do not exist.
#include <windows.h>

class CMsiLogMessage;

class Wow64Redirection {
public:
    // When both functions exist, logs whether redirection is now off
    // ("Successfully disabled WOW64 redirection") or on ("WOW64 redirection
    // is enabled"); disable asks for it to be off. Logs nothing when the
    // functions are missing.
    Wow64Redirection(CMsiLogMessage& log, bool disable);
    ~Wow64Redirection();

private:
    Wow64Redirection(const Wow64Redirection&);
    Wow64Redirection& operator=(const Wow64Redirection&);

    typedef BOOL(WINAPI* RevertFunction)(PVOID);
    RevertFunction m_revert;
    PVOID m_state;
    bool m_disabled;
};
