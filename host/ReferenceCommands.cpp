#include "ReferenceCommands.h"

#include <algorithm>

#include <windows.h>

#include "Reference.h"
#include "UsageFailure.h"

namespace {
// docs/actions.md, as the build put it into the host's resources.
const Reference& compiledReference()
{
    static const Reference reference = [] {
        const HRSRC found = FindResourceW(0, L"VERRAND_REFERENCE", RT_RCDATA);
        const HGLOBAL loaded = found ? LoadResource(0, found) : 0;
        const void* bytes = loaded ? LockResource(loaded) : 0;
        if (!bytes)
            throw UsageFailure{ "the action reference is missing from this host (" +
                                std::to_string(GetLastError()) + ")" };
        return Reference(std::string(static_cast<const char*>(bytes), SizeofResource(0, found)));
    }();
    return reference;
}
}

std::string ActionHelp(const std::string& action)
{
    const std::string text = compiledReference().ActionText(action);
    if (text.empty())
        throw UsageFailure{ "the action reference has no section for " + action };
    return text;
}

std::vector<std::string> ActionListLines(const std::vector<std::string>& actions)
{
    std::string::size_type width = 0;
    for (const std::string& name : actions)
        width = std::max(width, name.size());
    std::vector<std::string> lines;
    for (const std::string& name : actions) {
        const std::string summary = compiledReference().Summary(name);
        lines.push_back(summary.empty() ? name : name + std::string(width - name.size() + 2, ' ') + summary);
    }
    return lines;
}
