#include "PackagePlan.h"

#include <algorithm>

#include "core/ActionCatalogue.h"
#include "core/PackageStepNames.h"

#include "Output.h"
#include "UsageFailure.h"

const wchar_t* const CustomActionBinary = L"VerrandCA";

namespace {
// Custom action types: a DLL from the Binary table (1), run from the
// script (1024) without impersonation (2048), as rollback (256) or commit
// (512); 51 sets a property to a formatted text; 8192 hides the target and
// the CustomActionData from the log.
const int DllImmediate = 1;
const int DllDeferred = 1025;
const int DllRollback = 1281;
const int DllCommit = 1537;
const int NoImpersonation = 2048;
const int SetsProperty = 51;
const int HiddenTarget = 8192;

const wchar_t* const DuActionProperty = L"VerrandDuAction";
const wchar_t* const StateFolderProperty = PackageStepNames::StateFolderProperty;
const wchar_t* const DuActionArgument = L"$du$action";
const wchar_t* const StateFolderArgument = L"$action.invocationdata.dir";
const size_t MaxIdentifier = 72;

// The property a step's action sets, when it is a property setter.
std::wstring propertySet(const PlanAction& action)
{
    const ActionFacts* facts = FindActionFacts(action.action);
    if (!facts || !*facts->propertyArgument)
        return facts ? facts->property : L"";
    const PropertyValues::const_iterator named = action.arguments.find(facts->propertyArgument);
    return named == action.arguments.end() ? std::wstring() : named->second;
}

bool mentions(const PlanAction& action, const std::wstring& property)
{
    const std::wstring reference = L"[" + property + L"]";
    for (PropertyValues::const_iterator it = action.arguments.begin(); it != action.arguments.end(); ++it)
        if (it->second.find(reference) != std::wstring::npos)
            return true;
    return false;
}

// The properties a text refers to as [NAME].
std::vector<std::wstring> referencedProperties(const std::wstring& text)
{
    std::vector<std::wstring> names;
    std::wstring::size_type at = 0;
    while ((at = text.find(L'[', at)) != std::wstring::npos) {
        const std::wstring::size_type close = text.find(L']', at + 1);
        if (close == std::wstring::npos)
            break;
        const std::wstring name = text.substr(at + 1, close - at - 1);
        if (IsInstallerIdentifier(name))
            names.push_back(name);
        at = close + 1;
    }
    return names;
}

// Where in the profile a link path lies: folders that are always the
// user's, and those that are the user's unless the package installs for
// all users.
bool inUserProfile(const std::wstring& path, bool perMachine)
{
    static const wchar_t* const always[] = { L"AppDataFolder", L"LocalAppDataFolder", L"PersonalFolder",
                                             L"FavoritesFolder", L"SendToFolder", L"RecentFolder",
                                             L"NetHoodFolder", L"PrintHoodFolder", L"MyPicturesFolder" };
    static const wchar_t* const unlessAllUsers[] = { L"DesktopFolder", L"ProgramMenuFolder", L"StartMenuFolder",
                                                     L"StartupFolder", L"TemplateFolder" };
    for (const wchar_t* folder : always)
        if (path.compare(0, wcslen(folder) + 2, L"[" + std::wstring(folder) + L"]") == 0)
            return true;
    if (perMachine)
        return false;
    for (const wchar_t* folder : unlessAllUsers)
        if (path.compare(0, wcslen(folder) + 2, L"[" + std::wstring(folder) + L"]") == 0)
            return true;
    return false;
}

// Actions that work on the current user's profile run impersonated: the
// user-configuration file and key actions, and shortcuts made or removed in
// the user's own folders.
bool impersonated(const PlanAction& action, bool perMachine)
{
    const ActionFacts* facts = FindActionFacts(action.action);
    if (!facts || facts->runsAs == RunsAsSystem)
        return false;
    if (facts->runsAs == RunsAsUser)
        return true;
    const PropertyValues::const_iterator link = action.arguments.find(L"linkFullPath");
    return link != action.arguments.end() && inUserProfile(link->second, perMachine);
}

// Actions that record what they change in $action.invocationdata.dir for
// their rollback twin, and the twins that consume it.
bool keepsStateWithTwin(const std::wstring& action)
{
    const ActionFacts* facts = FindActionFacts(action);
    return facts && facts->keepsState;
}

// Rows of one group, placed together between two rows of the package.
struct Group {
    std::wstring after;
    std::wstring before;
    std::vector<SequenceRow> rows;
    void add(const std::wstring& action, const std::wstring& condition)
    {
        rows.push_back(SequenceRow{ action, condition, 0, after, before });
    }
};

class Layout {
public:
    Layout(const PackageFacts& facts, const std::set<std::string>& exports) : m_facts(facts), m_exports(exports)
    {
        const std::map<std::wstring, std::wstring>::const_iterator allUsers = facts.properties.find(L"ALLUSERS");
        m_perMachine = allUsers != facts.properties.end() && (allUsers->second == L"1" || allUsers->second == L"2");
    }

    PackageAdditions run(const PackagePlan& writtenInstall, const PackagePlan& writtenRemoval)
    {
        // Each step with its exact twin, as the host runs it.
        Plan installSteps = *writtenInstall.plan;
        Plan removalSteps = writtenRemoval.plan ? *writtenRemoval.plan : Plan();
        pairTwins(installSteps, writtenInstall.name);
        pairTwins(removalSteps, writtenRemoval.name);
        const PackagePlan install{ &installSteps, writtenInstall.name };
        const PackagePlan removal{ writtenRemoval.plan ? &removalSteps : 0, writtenRemoval.name };

        m_immediate.before = L"CostFinalize";
        m_immediate.after = rowBefore(L"CostFinalize");
        m_data.before = L"InstallInitialize";
        m_data.after = rowBefore(L"InstallInitialize");
        m_removal.after = L"InstallInitialize";
        m_removal.before = rowAfter(L"InstallInitialize");
        m_install.after = L"InstallFiles";
        m_install.before = rowAfter(L"InstallFiles");
        needRow(L"InstallFinalize");
        if (removal.plan && !removal.plan->steps.empty() && needRow(L"RemoveFiles") <= needRow(L"InstallInitialize"))
            throw UsageFailure{ "the package's InstallExecuteSequence runs RemoveFiles before InstallInitialize" };

        addTransactionKind();
        addProperties(install);
        if (removal.plan)
            addProperties(removal);
        addSteps(install, L"Install", PackageStepNames::InstallCondition, PackageStepNames::ServedByInstall, m_install);
        if (removal.plan)
            addSteps(removal, L"Remove", PackageStepNames::RemovalCondition, PackageStepNames::ServedByRemoval,
                     m_removal);
        addStateFolder();
        addFolderRemoval();
        addRow(L"Verrand_SetCustomActionData", DllImmediate + (m_hidden.empty() ? 0 : HiddenTarget),
               CustomActionBinary, PackageStepNames::DataEntry, L"", m_data);

        for (Group* group : { &m_immediate, &m_data, &m_removal, &m_install })
            number(*group);
        if (!m_folders.rows.empty())
            number(m_folders);
        finishHiddenProperties();
        checkClashes();
        return m_additions;
    }

private:
    // The package's folders, removed on removal once empty by RemoveFolders,
    // which runs after RemoveFiles has deleted the package's files.
    void addFolderRemoval()
    {
        m_additions.createFolders = FolderRemovalRows(m_facts.folders);
        if ((m_additions.createFolders.empty() && m_facts.folders.createFolders.empty()) ||
            m_facts.executeSequence.count(L"RemoveFolders"))
            return;
        std::string problem;
        if (!m_facts.executeSequence.count(L"RemoveFiles")) {
            problem = "it has no RemoveFiles";
        } else {
            m_folders.after = L"RemoveFiles";
            m_folders.before = rowAfter(L"RemoveFiles");
            if (needRow(m_folders.before) - needRow(L"RemoveFiles") < 2)
                problem = "it has no room after RemoveFiles";
        }
        if (!problem.empty()) {
            m_additions.warnings.push_back("the package's InstallExecuteSequence cannot take RemoveFolders (" + problem +
                                           "): its folders stay after removal");
            m_additions.createFolders.clear();
            return;
        }
        m_folders.add(L"RemoveFolders", L"");
    }

    void pairTwins(Plan& plan, const std::string& name)
    {
        for (const std::string& line : PairTwins(plan))
            m_additions.warnings.push_back("plan " + name + ": " + line);
    }

    int needRow(const std::wstring& action) const
    {
        const std::map<std::wstring, int>::const_iterator found = m_facts.executeSequence.find(action);
        if (found == m_facts.executeSequence.end())
            throw UsageFailure{ "the package's InstallExecuteSequence has no " + utf8(action) };
        return found->second;
    }

    // The package's row just before or after an action (by sequence number).
    std::wstring rowBefore(const std::wstring& action) const
    {
        const int at = needRow(action);
        std::wstring best;
        int bestSequence = 0;
        for (const auto& row : m_facts.executeSequence)
            if (row.second > 0 && row.second < at && row.second >= bestSequence) {
                best = row.first;
                bestSequence = row.second;
            }
        return best;
    }
    std::wstring rowAfter(const std::wstring& action) const
    {
        const int at = needRow(action);
        std::wstring best;
        int bestSequence = 0;
        for (const auto& row : m_facts.executeSequence)
            if (row.second > at && (best.empty() || row.second < bestSequence)) {
                best = row.first;
                bestSequence = row.second;
            }
        if (best.empty())
            throw UsageFailure{ "the package's InstallExecuteSequence has no action after " + utf8(action) };
        return best;
    }

    // Spreads a group's rows evenly between its two neighbours.
    void number(Group& group)
    {
        const int low = group.after.empty() ? 0 : m_facts.executeSequence.at(group.after);
        const int high = m_facts.executeSequence.at(group.before);
        const int count = static_cast<int>(group.rows.size());
        if (high - low - 1 < count)
            throw UsageFailure{ "no room for " + std::to_string(count) + " actions between " +
                                (group.after.empty() ? std::string("the start") : utf8(group.after)) + " (" +
                                std::to_string(low) + ") and " + utf8(group.before) + " (" + std::to_string(high) +
                                ") in the package's InstallExecuteSequence" };
        for (int i = 0; i < count; ++i) {
            group.rows[i].sequence = low + static_cast<int>((static_cast<long long>(i + 1) * (high - low)) / (count + 1));
            m_additions.sequence.push_back(group.rows[i]);
        }
    }

    void addRow(const std::wstring& action, int type, const std::wstring& source, const std::wstring& target,
                const std::wstring& condition, Group& group)
    {
        m_additions.customActions.push_back(CustomActionRow{ action, type, source, target });
        group.add(action, condition);
    }

    void addArgument(const std::wstring& action, const std::wstring& name, const std::wstring& value,
                     const std::wstring& served)
    {
        m_additions.arguments.push_back(ArgumentRow{ action, name, value, served });
    }

    // VerrandDuAction: the transaction kind every step is given as $du$action.
    void addTransactionKind()
    {
        std::wstring upgrading;
        for (const std::wstring& property : m_facts.upgradeProperties)
            upgrading += (upgrading.empty() ? L"" : L" OR ") + property;
        const std::wstring firstInstall = upgrading.empty() ? L"NOT Installed" : L"NOT Installed AND NOT (" + upgrading + L")";
        addRow(L"Verrand_DuAction_install", SetsProperty, DuActionProperty, L"install", firstInstall, m_immediate);
        if (!upgrading.empty())
            addRow(L"Verrand_DuAction_upgrade", SetsProperty, DuActionProperty, L"upgrade",
                   L"NOT Installed AND (" + upgrading + L")", m_immediate);
        addRow(L"Verrand_DuAction_repair", SetsProperty, DuActionProperty, L"repair",
               L"Installed AND REINSTALL AND NOT REMOVE~=\"ALL\"", m_immediate);
        addRow(L"Verrand_DuAction_modify", SetsProperty, DuActionProperty, L"modify",
               L"Installed AND NOT REINSTALL AND NOT REMOVE~=\"ALL\"", m_immediate);
        addRow(L"Verrand_DuAction_uninstall", SetsProperty, DuActionProperty, L"uninstall", L"REMOVE~=\"ALL\"",
               m_immediate);
        m_ownProperties.insert(DuActionProperty);
        m_ownProperties.insert(PackageStepNames::StepProperty);
    }

    void addProperties(const PackagePlan& plan)
    {
        for (PropertyValues::const_iterator it = plan.plan->properties.begin(); it != plan.plan->properties.end(); ++it) {
            const std::string place = "plan " + plan.name + ": properties." + utf8(it->first);
            if (!IsInstallerIdentifier(it->first))
                throw UsageFailure{ place + ": not a name a package's property can have" };
            if (m_facts.properties.count(it->first)) {
                m_additions.warnings.push_back("property " + utf8(it->first) +
                                               " is defined by the package; the package's value stands");
                continue;
            }
            const std::map<std::wstring, std::wstring>::const_iterator given = m_additions.newProperties.find(it->first);
            if (given != m_additions.newProperties.end() && given->second != it->second)
                throw UsageFailure{ place + ": the other plan gives it another value" };
            m_additions.newProperties[it->first] = it->second;
        }
    }

    std::string refusal(const PackagePlan& plan, size_t index, bool twin, const PlanAction& action)
    {
        const std::string place = "plan " + plan.name + ": steps[" + std::to_string(index) + "]" + (twin ? ".rollback" : "");
        const ActionFacts* facts = FindActionFacts(action.action);
        if (facts && facts->package != PackageRuns)
            return place + ": " + utf8(action.action) + " cannot run inside a Windows Installer package";
        if (!m_exports.count(utf8(action.action)) || action.action == PackageStepNames::DataEntry ||
            action.action == PackageStepNames::StateFolderEntry)
            return place + ": the custom-action DLL has no action " + utf8(action.action);
        for (PropertyValues::const_iterator it = action.arguments.begin(); it != action.arguments.end(); ++it) {
            const std::string argument = place + ".args." + utf8(it->first);
            if (it->first.empty() || it->first.find(L'=') != std::wstring::npos)
                return argument + ": an argument name must be given and hold no \"=\"";
            if (it->first == DuActionArgument || it->first == StateFolderArgument)
                return argument + ": the package gives this argument itself";
            const std::string problem = FormattedTextProblem(it->second, m_facts);
            if (!problem.empty())
                return argument + ": " + problem;
        }
        return std::string();
    }

    void addSteps(const PackagePlan& plan, const std::wstring& kind, const std::wstring& condition,
                  const std::wstring& served, Group& script)
    {
        const std::vector<PlanStep>& steps = plan.plan->steps;
        for (size_t i = 0; i < steps.size(); ++i) {
            const PlanStep& step = steps[i];
            std::string problem = refusal(plan, i + 1, false, step.action);
            if (problem.empty() && step.hasRollback)
                problem = refusal(plan, i + 1, true, step.rollback);
            if (!problem.empty())
                throw UsageFailure{ problem };

            const std::wstring prefix = L"Verrand_" + kind + std::to_wstring(i + 1) + L"_";
            const std::wstring name = prefix + step.action.action;
            const std::wstring twinName = prefix + L"Rollback_" + step.rollback.action;
            if (name.size() > MaxIdentifier || (step.hasRollback && twinName.size() > MaxIdentifier))
                throw UsageFailure{ "plan " + plan.name + ": steps[" + std::to_string(i + 1) +
                                    "]: the action's name makes a custom action name longer than 72 characters" };

            // Secrets: the properties SensitiveData names, and the data of the step's actions.
            std::vector<std::wstring> secrets;
            bool secret = false;
            for (const PlanAction* action : { &step.action, &step.rollback }) {
                const PropertyValues::const_iterator sensitive = action->arguments.find(L"SensitiveData");
                if (sensitive == action->arguments.end() || sensitive->second.empty())
                    continue;
                secret = true;
                for (const std::wstring& property : referencedProperties(sensitive->second))
                    secrets.push_back(property);
            }
            const int hide = secret ? HiddenTarget : 0;
            m_hidden.insert(m_hidden.end(), secrets.begin(), secrets.end());

            // A property setter whose property a later step reads runs now, so the property is kept.
            const std::wstring property = propertySet(step.action);
            bool readLater = false;
            for (size_t later = i + 1; later < steps.size() && !property.empty(); ++later)
                readLater = readLater || mentions(steps[later].action, property) ||
                            (steps[later].hasRollback && mentions(steps[later].rollback, property));
            if (readLater) {
                if (step.hasRollback)
                    throw UsageFailure{ "plan " + plan.name + ": steps[" + std::to_string(i + 1) +
                                        "].rollback: the step runs before the installation script (later steps "
                                        "read its property " +
                                        utf8(property) + "), where no rollback action can be scheduled" };
                addRow(prefix + L"Step", SetsProperty + hide, PackageStepNames::StepProperty, name, condition,
                       m_immediate);
                addRow(name, DllImmediate + hide, CustomActionBinary, step.action.action, condition, m_immediate);
                addArguments(name, step.action, std::wstring(), std::wstring());
                continue;
            }

            const std::wstring stateFolder = keepsStateWithTwin(step.action.action) ||
                                                     (step.hasRollback && keepsStateWithTwin(step.rollback.action))
                                                 ? L"[" + std::wstring(StateFolderProperty) + L"]\\" + kind + std::to_wstring(i + 1)
                                                 : std::wstring();
            if (!stateFolder.empty())
                m_stepFolders.push_back(stateFolder);
            if (step.hasRollback) {
                addRow(twinName,
                       DllRollback + (impersonated(step.rollback, m_perMachine) ? 0 : NoImpersonation) + hide,
                       CustomActionBinary, step.rollback.action, condition, script);
                addArguments(twinName, step.rollback, stateFolder, served);
                m_ownProperties.insert(twinName);
            }
            addRow(name, DllDeferred + (impersonated(step.action, m_perMachine) ? 0 : NoImpersonation) + hide,
                   CustomActionBinary, step.action.action, condition, script);
            addArguments(name, step.action, stateFolder, served);
            m_ownProperties.insert(name);
            if (secret) {
                m_hidden.push_back(name);
                if (step.hasRollback)
                    m_hidden.push_back(twinName);
            }
        }
    }

    void addArguments(const std::wstring& action, const PlanAction& step, const std::wstring& stateFolder,
                      const std::wstring& served)
    {
        for (PropertyValues::const_iterator it = step.arguments.begin(); it != step.arguments.end(); ++it)
            addArgument(action, it->first, it->second, served);
        addArgument(action, DuActionArgument, L"[" + std::wstring(DuActionProperty) + L"]", served);
        if (!stateFolder.empty())
            addArgument(action, StateFolderArgument, stateFolder, served);
    }

    // One folder for the state a step shares with its twin, named after the product and made this run's own by
    // SetCustomActionData; removed when the installation is committed. The last rollback action removes the step
    // folders the twins emptied and then the run's folder: what a twin could not give back stays, for a person.
    void addStateFolder()
    {
        if (m_stepFolders.empty())
            return;
        addRow(L"Verrand_SetStateFolder", SetsProperty, StateFolderProperty, L"[TempFolder]Verrand [ProductCode]", L"",
               m_data);
        m_ownProperties.insert(StateFolderProperty);
        std::vector<SequenceRow> later;
        later.swap(m_removal.rows);
        addStateFolderRemoval(L"Verrand_ForgetStateOnRollback", DllRollback, true);
        addStateFolderRemoval(L"Verrand_ForgetState", DllCommit, false);
        m_removal.rows.insert(m_removal.rows.end(), later.begin(), later.end());
    }

    // The state folder goes through VerrandCA.dll's own entry, which starts no process;
    // on rollback only what the twins emptied goes.
    void addStateFolderRemoval(const std::wstring& action, int type, bool emptiedOnly)
    {
        addRow(action, type + NoImpersonation, CustomActionBinary, PackageStepNames::StateFolderEntry, L"",
               m_removal);
        const std::wstring served = PackageStepNames::ServedEveryRun;
        addArgument(action, PackageStepNames::StateFolderArgument, L"[" + std::wstring(StateFolderProperty) + L"]",
                    served);
        if (emptiedOnly)
            addArgument(action, PackageStepNames::EmptiedOnlyArgument, L"1", served);
        m_ownProperties.insert(action);
    }

    void finishHiddenProperties()
    {
        if (m_hidden.empty())
            return;
        std::vector<std::wstring> names;
        const std::map<std::wstring, std::wstring>::const_iterator own = m_facts.properties.find(L"MsiHiddenProperties");
        std::wstring::size_type start = 0;
        const std::wstring existing = own == m_facts.properties.end() ? std::wstring() : own->second;
        while (start <= existing.size() && !existing.empty()) {
            const std::wstring::size_type end = std::min(existing.find(L';', start), existing.size());
            if (end > start)
                names.push_back(existing.substr(start, end - start));
            start = end + 1;
        }
        for (const std::wstring& name : m_hidden)
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        for (const std::wstring& name : names)
            m_additions.hiddenProperties += (m_additions.hiddenProperties.empty() ? L"" : L";") + name;
    }

    void checkClashes() const
    {
        for (const CustomActionRow& row : m_additions.customActions)
            if (m_facts.customActions.count(row.action) || m_facts.executeSequence.count(row.action))
                throw UsageFailure{ "the package already has an action named " + utf8(row.action) };
        for (const std::wstring& property : m_ownProperties)
            if (m_facts.properties.count(property) || m_additions.newProperties.count(property))
                throw UsageFailure{ "the package or a plan already has a property named " + utf8(property) };
        if (m_facts.tables.count(PackageStepNames::ArgumentTable))
            throw UsageFailure{ "the package already has a table named " + utf8(PackageStepNames::ArgumentTable) };
        if (m_facts.binaries.count(CustomActionBinary))
            throw UsageFailure{ "the package already has a Binary row named " + utf8(CustomActionBinary) };
    }

    const PackageFacts& m_facts;
    const std::set<std::string>& m_exports;
    bool m_perMachine = false;
    std::vector<std::wstring> m_stepFolders;  // the steps' state folders, in the order of the plans
    Group m_immediate, m_data, m_removal, m_install, m_folders;
    std::vector<std::wstring> m_hidden;
    std::set<std::wstring> m_ownProperties;
    PackageAdditions m_additions;
};

bool isLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
}
}

bool IsInstallerIdentifier(const std::wstring& name)
{
    if (name.empty() || !isLetter(name[0]))
        return false;
    for (wchar_t c : name)
        if (!isLetter(c) && !(c >= L'0' && c <= L'9') && c != L'.')
            return false;
    return true;
}

std::string FormattedTextProblem(const std::wstring& text, const PackageFacts& facts)
{
    for (std::wstring::size_type at = 0; at < text.size(); ++at) {
        if (text[at] == L']')
            return "a \"]\" without its \"[\" (write [\\]] for the character)";
        if (text[at] != L'[')
            continue;
        // [\c] stands for the character c, brackets included.
        if (at + 3 < text.size() && text[at + 1] == L'\\' && text[at + 3] == L']') {
            at += 3;
            continue;
        }
        const std::wstring::size_type close = text.find_first_of(L"[]", at + 1);
        if (close == std::wstring::npos || text[close] == L'[')
            return "a \"[\" without its \"]\" (write [\\[] for the character)";
        const std::wstring inside = text.substr(at + 1, close - at - 1);
        const std::string reference = "[" + utf8(inside) + "]";
        const wchar_t kind = inside.empty() ? L'\0' : inside[0];
        const std::wstring key = inside.empty() ? std::wstring() : inside.substr(1);
        bool known = false;
        if (inside == L"~" || IsInstallerIdentifier(inside))
            known = true;
        else if (kind == L'%')
            known = !key.empty();
        else if (kind == L'#' || kind == L'!')
            known = facts.files.count(key) != 0;
        else if (kind == L'$')
            known = facts.components.count(key) != 0;
        if (!known)
            return reference + " is no reference Windows Installer can format (a property name, [%VARIABLE], "
                               "[#File] or [!File] of the package's files, [$Component] of its components, [\\c] "
                               "or [~])";
        at = close;
    }
    return std::string();
}

PackageAdditions LayOutPlans(const PackagePlan& install, const PackagePlan& removal, const PackageFacts& facts,
                             const std::set<std::string>& exports)
{
    return Layout(facts, exports).run(install, removal);
}
