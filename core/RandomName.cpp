#include "RandomName.h"

#include <bcrypt.h>

bool RandomHexName(std::wstring& name, DWORD& error)
{
    unsigned char bytes[8];
    const NTSTATUS status = BCryptGenRandom(0, bytes, sizeof(bytes), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) {
        error = static_cast<DWORD>(status);
        return false;
    }
    const wchar_t* const digits = L"0123456789abcdef";
    name.clear();
    for (unsigned char byte : bytes) {
        name += digits[byte >> 4];
        name += digits[byte & 15];
    }
    return true;
}
