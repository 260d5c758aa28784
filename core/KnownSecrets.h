#pragma once
// The one masking point of a front door (the host, the custom-action DLL,
// and every other way in to the actions): the secrets it has met so far and
// the mask every line it lets out passes through, so no action's line can
// show a secret that an earlier step or another line of the action was
// given.
//
// Where the secrets come from: before a front door runs an action, it asks
// the action's own context for "SensitiveData" (LearnFrom), the same
// argument the command runner masks with; the value is then a secret of the
// front door for the rest of its life (a host run, a custom-action process).
// The binary contract with a setup program's own context stays as it is:
// the actions need no new call to tell their context about a secret.
#include <mutex>
#include <string>

#include "IActionContext.h"
#include "SecretMask.h"

class KnownSecrets {
public:
    // The argument whose value is a secret (the command runner's
    // SensitiveData; core stands below the actions, so the name is spelt
    // again here).
    static const wchar_t* const ArgumentName;

    KnownSecrets();

    // One more secret to mask from now on; an empty one is ignored.
    void Learn(const std::wstring& secret);
    // Learns the context's SensitiveData, as the action will read it.
    void LearnFrom(IActionContext& context);

    // The line with every secret known so far masked, longest first.
    std::wstring Mask(const std::wstring& line) const;
    // The same for a UTF-8 line.
    std::string MaskUtf8(const std::string& line) const;

    // For a reader that masks raw output as it arrives (the host's child
    // output): the mask itself, which changes when a secret is learned, so
    // it is only used while Locked runs use.
    const SecretMask& Current() const { return m_mask; }
    template <class Use>
    void Locked(Use use) const
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        use();
    }

private:
    KnownSecrets(const KnownSecrets&);
    KnownSecrets& operator=(const KnownSecrets&);

    // Recursive: a line masked inside Locked (a child's line on its way out)
    // takes the lock again.
    mutable std::recursive_mutex m_mutex;
    SecretMask m_mask;
};
