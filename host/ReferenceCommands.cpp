#include "ReferenceCommands.h"

#include <algorithm>

#include <windows.h>

#include "core/ActionCatalogue.h"

#include "Output.h"
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
    // Name, exact twin ("-" for none) and sentence, from the catalogue; an
    // action it does not know (another library's) shows its name alone.
    std::string::size_type nameWidth = 0, twinWidth = 1;
    for (const std::string& name : actions) {
        nameWidth = std::max(nameWidth, name.size());
        twinWidth = std::max(twinWidth, utf8(ExactTwin(wide(name))).size());
    }
    std::vector<std::string> lines;
    for (const std::string& name : actions) {
        const ActionFacts* facts = FindActionFacts(wide(name));
        if (!facts) {
            lines.push_back(name);
            continue;
        }
        const std::string twin = *facts->twin ? utf8(facts->twin) : "-";
        lines.push_back(name + std::string(nameWidth - name.size() + 2, ' ') + twin +
                        std::string(twinWidth - twin.size() + 2, ' ') + utf8(facts->sentence));
    }
    return lines;
}
