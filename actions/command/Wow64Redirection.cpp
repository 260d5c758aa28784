#include "Wow64Redirection.h"

#include "core/MsiLogMessage.h"

namespace {
typedef BOOL(WINAPI* DisableFunction)(PVOID*);
}

Wow64Redirection::Wow64Redirection(CMsiLogMessage& log, bool disable) : m_revert(0), m_state(0), m_disabled(false)
{
    const HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (!kernel)
        return;
    const DisableFunction disableFunction =
        reinterpret_cast<DisableFunction>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection"));
    m_revert = reinterpret_cast<RevertFunction>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection"));
    if (!disableFunction || !m_revert)
        return;
    if (disable && disableFunction(&m_state) == TRUE) {
        m_disabled = true;
        log.Log(L"Successfully disabled WOW64 redirection");
    } else {
        log.Log(L"WOW64 redirection is enabled");
    }
}

Wow64Redirection::~Wow64Redirection()
{
    if (m_disabled)
        m_revert(m_state);
}
