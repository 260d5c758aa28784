#include "KnownSecrets.h"

const wchar_t* const KnownSecrets::ArgumentName = L"SensitiveData";

KnownSecrets::KnownSecrets() : m_mask(std::wstring(), false) {}

void KnownSecrets::Learn(const std::wstring& secret)
{
    if (secret.empty())
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_mask.Add(secret);
}

void KnownSecrets::LearnFrom(IActionContext& context)
{
    Learn(*context.GetArg(ArgumentName));
}

std::wstring KnownSecrets::Mask(const std::wstring& line) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_mask.Empty() ? line : m_mask.Text(line);
}

std::string KnownSecrets::MaskUtf8(const std::string& line) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_mask.Empty())
        return line;
    // The secrets' byte forms hold their UTF-8 form, and the others too, so a
    // line that is not UTF-8 after all is masked as well.
    std::string masked;
    m_mask.MaskBytesInto(line, line.size(), masked);
    return masked;
}
