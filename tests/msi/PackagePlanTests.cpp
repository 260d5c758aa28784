// How `verrand-host msi` lays plans out as package rows, without a package:
// where each step runs and with which type, what its data holds, where it
// is sequenced, what is hidden, and what is refused before anything is
// written.
#include <gtest/gtest.h>

#include "core/PackageStepNames.h"
#include "host/PackagePlan.h"
#include "host/UsageFailure.h"
#include "support/TestFiles.h"

namespace {
// The rows wixl writes into a payload-only package's InstallExecuteSequence.
PackageFacts payloadFacts()
{
    PackageFacts facts;
    facts.tables = { L"CustomAction", L"Binary", L"Property", L"InstallExecuteSequence", L"File", L"Component" };
    facts.executeSequence = { { L"CostInitialize", 800 },     { L"FileCost", 900 },          { L"CostFinalize", 1000 },
                              { L"InstallValidate", 1400 },   { L"InstallInitialize", 1500 }, { L"ProcessComponents", 1600 },
                              { L"RemoveFiles", 3500 },       { L"InstallFiles", 4000 },     { L"RegisterUser", 6000 },
                              { L"InstallFinalize", 6600 } };
    facts.properties = { { L"ProductCode", L"{X}" }, { L"ALLUSERS", L"1" }, { L"Shared", L"package" } };
    facts.files = { L"NotesCmd" };
    facts.components = { L"Program" };
    return facts;
}

const std::set<std::string> kExports = { "GetProductOSDefaultInstallLocation", "TranslateString", "CreateShortcut",
                                         "RemoveShortcut", "CopyUserConfigFile", "RollbackCopyUserConfigFile",
                                         "RemoveUserConfigFile", "RollbackRemoveUserConfigFile", "RunCommand",
                                         "RunRollBackCommand", "InstallDUBundle", "SetWindowsSystemFolderProps",
                                         "SetCustomActionData", "RemoveStateFolder", "ConfigureEnvironment",
                                         "RollbackConfigureEnvironment", "RollbackCreateShortcut",
                                         "RollbackRemoveShortcut" };

PlanStep step(const wchar_t* action, PropertyValues arguments)
{
    return PlanStep{ PlanAction{ action, arguments }, false, PlanAction() };
}
PlanStep step(const wchar_t* action, PropertyValues arguments, const wchar_t* twin, PropertyValues twinArguments)
{
    return PlanStep{ PlanAction{ action, arguments }, true, PlanAction{ twin, twinArguments } };
}

// Every kind of step: a property setter read later, one nobody reads, a
// per-machine and a per-user shortcut, a user file with its twin, a
// command with a secret, a PATH entry with its twin.
Plan everyKind()
{
    Plan plan;
    plan.properties = { { L"Greeting", L"hello" }, { L"Shared", L"plan" } };
    plan.steps = {
        step(L"GetProductOSDefaultInstallLocation", { { L"PropertyName", L"INSTALLDIR" } }),
        step(L"TranslateString", { { L"StringToTranslate", L"#Unread#" } }),
        step(L"CreateShortcut", { { L"linkFullPath", L"[ProgramMenuFolder]a.lnk" }, { L"pathToTarget", L"[INSTALLDIR]a" } },
             L"RemoveShortcut", { { L"linkFullPath", L"[ProgramMenuFolder]a.lnk" } }),
        step(L"CreateShortcut", { { L"linkFullPath", L"[AppDataFolder]b.lnk" } }),
        step(L"CopyUserConfigFile", { { L"$du.dir", L"[INSTALLDIR]" } }, L"RollbackCopyUserConfigFile", {}),
        step(L"RunCommand", { { L"CmdLine", L"x [KEY]" }, { L"SensitiveData", L"[KEY]" } }),
        step(L"ConfigureEnvironment", { { L"ENV_NAME", L"PATH" }, { L"ENV_VALUE", L"[INSTALLDIR]bin;" } },
             L"RollbackConfigureEnvironment", { { L"ENV_NAME", L"PATH" } }),
    };
    return plan;
}

struct Laid {
    PackageAdditions additions;
    const CustomActionRow* action(const std::wstring& name) const
    {
        for (const CustomActionRow& row : additions.customActions)
            if (row.action == name)
                return &row;
        return 0;
    }
    const SequenceRow* row(const std::wstring& name) const
    {
        for (const SequenceRow& row : additions.sequence)
            if (row.action == name)
                return &row;
        return 0;
    }
    std::wstring argument(const std::wstring& action, const std::wstring& name) const
    {
        for (const ArgumentRow& row : additions.arguments)
            if (row.action == action && row.name == name)
                return row.value;
        return L"<none>";
    }
};

Laid layOut(const Plan& install, const Plan* removal = 0, const PackageFacts& facts = payloadFacts())
{
    return Laid{ LayOutPlans(PackagePlan{ &install, "install.json" }, PackagePlan{ removal, "remove.json" }, facts,
                             kExports) };
}

std::string refusal(const Plan& install, const PackageFacts& facts = payloadFacts())
{
    try {
        layOut(install, 0, facts);
    } catch (const UsageFailure& failure) {
        return failure.message;
    }
    return "accepted";
}
}

TEST(PackagePlan, EachStepRunsWhereItsRuleSays)
{
    const Laid laid = layOut(everyKind());
    struct Row {
        const wchar_t* action;
        int type;
        const wchar_t* target;
    };
    const Row rows[] = {
        // Read later as [INSTALLDIR]: immediate, named by the step property just before it.
        { L"Verrand_Install1_Step", 51, L"Verrand_Install1_GetProductOSDefaultInstallLocation" },
        { L"Verrand_Install1_GetProductOSDefaultInstallLocation", 1, L"GetProductOSDefaultInstallLocation" },
        // A setter nobody reads runs from the script like the rest.
        { L"Verrand_Install2_TranslateString", 3073, L"TranslateString" },
        // Twin first; both without impersonation for the all-users menu of a per-machine package.
        { L"Verrand_Install3_Rollback_RemoveShortcut", 3329, L"RemoveShortcut" },
        { L"Verrand_Install3_CreateShortcut", 3073, L"CreateShortcut" },
        // The user's own profile: impersonated.
        { L"Verrand_Install4_CreateShortcut", 1025, L"CreateShortcut" },
        { L"Verrand_Install5_Rollback_RollbackCopyUserConfigFile", 1281, L"RollbackCopyUserConfigFile" },
        { L"Verrand_Install5_CopyUserConfigFile", 1025, L"CopyUserConfigFile" },
        // The secret hides the target.
        { L"Verrand_Install6_RunCommand", 3073 + 8192, L"RunCommand" },
        // The data of every script action is set once, hidden since a step holds a secret.
        { L"Verrand_SetCustomActionData", 1 + 8192, L"SetCustomActionData" },
        // The shared state folder goes through the DLL's own entry, no command.
        { L"Verrand_ForgetState", 3585, L"RemoveStateFolder" },
        { L"Verrand_ForgetStateOnRollback", 3329, L"RemoveStateFolder" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.action)));
        const CustomActionRow* found = laid.action(row.action);
        ASSERT_TRUE(found);
        EXPECT_EQ(row.type, found->type);
        EXPECT_EQ(row.target, found->target);
    }
    // A per-user package: the menu is the user's too.
    PackageFacts perUser = payloadFacts();
    perUser.properties.erase(L"ALLUSERS");
    EXPECT_EQ(1025, layOut(everyKind(), 0, perUser).action(L"Verrand_Install3_CreateShortcut")->type);
}

TEST(PackagePlan, StepsAreSequencedInOrderBetweenTheirNeighbours)
{
    Plan removal;
    removal.steps = { step(L"RemoveUserConfigFile", {}, L"RollbackRemoveUserConfigFile", {}) };
    const Laid laid = layOut(everyKind(), &removal);
    struct Row {
        const wchar_t* first;
        const wchar_t* second;
    };
    const Row rows[] = {
        { L"FileCost", L"Verrand_DuAction_install" },
        { L"Verrand_DuAction_uninstall", L"Verrand_Install1_Step" },
        { L"Verrand_Install1_Step", L"Verrand_Install1_GetProductOSDefaultInstallLocation" },
        { L"Verrand_Install1_GetProductOSDefaultInstallLocation", L"CostFinalize" },
        { L"InstallValidate", L"Verrand_SetStateFolder" },
        { L"Verrand_SetStateFolder", L"Verrand_SetCustomActionData" },
        { L"Verrand_SetCustomActionData", L"InstallInitialize" },
        // The state folder's rollback removal comes first, so it rolls back last.
        { L"InstallInitialize", L"Verrand_ForgetStateOnRollback" },
        { L"Verrand_ForgetStateOnRollback", L"Verrand_Remove1_Rollback_RollbackRemoveUserConfigFile" },
        { L"Verrand_Remove1_Rollback_RollbackRemoveUserConfigFile", L"Verrand_Remove1_RemoveUserConfigFile" },
        { L"Verrand_Remove1_RemoveUserConfigFile", L"ProcessComponents" },
        { L"InstallFiles", L"Verrand_Install2_TranslateString" },
        { L"Verrand_Install3_Rollback_RemoveShortcut", L"Verrand_Install3_CreateShortcut" },
        { L"Verrand_Install6_RunCommand", L"RegisterUser" },
    };
    const PackageFacts facts = payloadFacts();
    const auto sequence = [&](const std::wstring& action) {
        const SequenceRow* added = laid.row(action);
        return added ? added->sequence : facts.executeSequence.at(action);
    };
    for (const Row& row : rows)
        EXPECT_LT(sequence(row.first), sequence(row.second)) << Narrow(row.first) << " before " << Narrow(row.second);
    EXPECT_EQ(L"NOT REMOVE~=\"ALL\"", laid.row(L"Verrand_Install3_CreateShortcut")->condition);
    EXPECT_EQ(L"REMOVE~=\"ALL\" AND NOT UPGRADINGPRODUCTCODE", laid.row(L"Verrand_Remove1_RemoveUserConfigFile")->condition);
}

// The folders' CreateFolder rows act only through RemoveFolders, which runs
// after RemoveFiles has deleted the package's files.
TEST(PackagePlan, RemoveFoldersRunsJustAfterRemoveFilesForThePackagesFolders)
{
    PackageFacts withFolders = payloadFacts();
    withFolders.folders.directories = { { L"TARGETDIR", L"", L"SourceDir" }, { L"ProgramFilesFolder", L"TARGETDIR", L"." },
                                        { L"INSTALLDIR", L"ProgramFilesFolder", L"Notes" } };
    withFolders.folders.components = { { L"Program", L"INSTALLDIR" } };
    PackageFacts scheduled = withFolders;
    scheduled.executeSequence[L"RemoveFolders"] = 3600;
    PackageFacts cramped = withFolders;
    cramped.executeSequence[L"InstallFiles"] = 3501;
    PackageFacts listedOnly = payloadFacts();
    listedOnly.folders.createFolders = { { L"Program", L"INSTALLDIR" } };
    struct Row {
        const char* why;
        PackageFacts facts;
        size_t createFolders;
        bool removeFolders;
        bool warned;
    };
    const Row rows[] = {
        { "a payload's folder: listed, and RemoveFolders scheduled", withFolders, 1, true, false },
        { "the package schedules RemoveFolders itself", scheduled, 1, false, false },
        { "no room after RemoveFiles: nothing added, and a warning says the folders stay", cramped, 0, false, true },
        // wixl writes CreateFolder rows but schedules no RemoveFolders.
        { "folders the package lists itself still need RemoveFolders", listedOnly, 0, true, false },
        { "no folders: nothing", payloadFacts(), 0, false, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const Laid laid = layOut(everyKind(), 0, row.facts);
        EXPECT_EQ(row.createFolders, laid.additions.createFolders.size());
        const SequenceRow* removeFolders = laid.row(L"RemoveFolders");
        EXPECT_EQ(row.removeFolders, removeFolders != 0);
        if (removeFolders) {
            EXPECT_EQ(L"RemoveFiles", removeFolders->after);
            EXPECT_GT(removeFolders->sequence, 3500);
            EXPECT_LT(removeFolders->sequence, row.facts.executeSequence.at(removeFolders->before));
        }
        bool warned = false;
        for (const std::string& warning : laid.additions.warnings)
            warned = warned || warning.find("cannot take RemoveFolders") != std::string::npos;
        EXPECT_EQ(row.warned, warned);
    }
}

TEST(PackagePlan, DataNamesTheTransactionTheStateFolderAndTheSecrets)
{
    PackageFacts facts = payloadFacts();
    facts.properties[L"MsiHiddenProperties"] = L"OWN;KEY";
    facts.upgradeProperties = { L"WIX_UPGRADE_DETECTED" };
    const Laid laid = layOut(everyKind(), 0, facts);
    // Values stay unformatted; the package formats each one on its own.
    EXPECT_EQ(L"x [KEY]", laid.argument(L"Verrand_Install6_RunCommand", L"CmdLine"));
    EXPECT_EQ(L"[VerrandDuAction]", laid.argument(L"Verrand_Install3_Rollback_RemoveShortcut", L"$du$action"));
    EXPECT_EQ(L"[VerrandDuAction]", laid.argument(L"Verrand_Install1_GetProductOSDefaultInstallLocation", L"$du$action"));
    // One folder per step, shared by the step and its twin; none for steps that keep no state.
    EXPECT_EQ(L"[VerrandStateFolder]\\Install5", laid.argument(L"Verrand_Install5_CopyUserConfigFile", L"$action.invocationdata.dir"));
    EXPECT_EQ(L"[VerrandStateFolder]\\Install5",
              laid.argument(L"Verrand_Install5_Rollback_RollbackCopyUserConfigFile", L"$action.invocationdata.dir"));
    EXPECT_EQ(L"[VerrandStateFolder]\\Install7", laid.argument(L"Verrand_Install7_ConfigureEnvironment", L"$action.invocationdata.dir"));
    EXPECT_EQ(L"[VerrandStateFolder]\\Install7",
              laid.argument(L"Verrand_Install7_Rollback_RollbackConfigureEnvironment", L"$action.invocationdata.dir"));
    EXPECT_EQ(L"[VerrandStateFolder]\\Install3", laid.argument(L"Verrand_Install3_CreateShortcut", L"$action.invocationdata.dir"));
    EXPECT_EQ(L"<none>", laid.argument(L"Verrand_Install2_TranslateString", L"$action.invocationdata.dir"));
    EXPECT_EQ(L"[TempFolder]Verrand [ProductCode]", laid.action(L"Verrand_SetStateFolder")->target);
    for (const wchar_t* removal : { L"Verrand_ForgetState", L"Verrand_ForgetStateOnRollback" })
        EXPECT_EQ(L"[VerrandStateFolder]", laid.argument(removal, L"Folder"));
    // The package's own hidden names first, each once.
    EXPECT_EQ(L"OWN;KEY;Verrand_Install6_RunCommand", laid.additions.hiddenProperties);
    // Upgrade found an older version: its own kind, and a first install only without one.
    EXPECT_EQ(L"NOT Installed AND (WIX_UPGRADE_DETECTED)", laid.row(L"Verrand_DuAction_upgrade")->condition);
    EXPECT_EQ(L"NOT Installed AND NOT (WIX_UPGRADE_DETECTED)", laid.row(L"Verrand_DuAction_install")->condition);
    // A plan property the package defines keeps the package's value, with a warning.
    EXPECT_EQ((std::map<std::wstring, std::wstring>{ { L"Greeting", L"hello" } }), laid.additions.newProperties);
    // And the hand-named twin of the first shortcut, which is not its exact one, is named.
    ASSERT_EQ(2u, laid.additions.warnings.size());
    EXPECT_NE(std::string::npos, laid.additions.warnings[0].find("RollbackCreateShortcut"));
    EXPECT_NE(std::string::npos, laid.additions.warnings[1].find("Shared"));
}

// Each row names the run whose data entry formats it: the install plan's
// script actions on install, the removal plan's on removal, the state
// folder's entries on every run; an immediate step formats its own rows.
TEST(PackagePlan, EachArgumentRowNamesTheRunThatServesIt)
{
    Plan removal;
    removal.steps = { step(L"RemoveShortcut", { { L"linkFullPath", L"[ProgramMenuFolder]a.lnk" } }) };
    const Laid laid = layOut(everyKind(), &removal);
    const struct {
        const wchar_t* action;
        const wchar_t* served;
    } rows[] = {
        { L"Verrand_Install1_GetProductOSDefaultInstallLocation", L"" },
        { L"Verrand_Install2_TranslateString", L"Install" },
        { L"Verrand_Install3_Rollback_RemoveShortcut", L"Install" },
        { L"Verrand_Install6_RunCommand", L"Install" },
        { L"Verrand_Remove1_RemoveShortcut", L"Remove" },
        { L"Verrand_Remove1_Rollback_RollbackRemoveShortcut", L"Remove" },
        { L"Verrand_ForgetState", L"Always" },
        { L"Verrand_ForgetStateOnRollback", L"Always" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.action)));
        size_t found = 0;
        for (const ArgumentRow& argument : laid.additions.arguments) {
            if (argument.action != row.action)
                continue;
            ++found;
            EXPECT_EQ(row.served, argument.served) << testing::PrintToString(argument.name);
        }
        EXPECT_LT(0u, found);
    }
    // The data entry tells the plans apart by the conditions their steps run under.
    EXPECT_EQ(PackageStepNames::InstallCondition, laid.row(L"Verrand_Install6_RunCommand")->condition);
    EXPECT_EQ(PackageStepNames::RemovalCondition, laid.row(L"Verrand_Remove1_RemoveShortcut")->condition);
}

// The package pairs steps as the host does: the exact twin with the step's
// own arguments and folder, none where the plan asks for none.
TEST(PackagePlan, StepsGetTheirExactTwinsAsInTheHost)
{
    Plan plan;
    plan.steps = { step(L"ConfigureEnvironment", { { L"ENV_NAME", L"PATH" }, { L"ENV_VALUE", L"[INSTALLDIR]" } }),
                   step(L"CopyUserConfigFile", { { L"DestFileName", L"a.ini" } }),
                   step(L"ConfigureEnvironment", { { L"ENV_NAME", L"PATH" } }, L"ConfigureEnvironment",
                        { { L"ACTION", L"remove" } }) };
    plan.steps[1].withoutTwin = true;
    const Laid laid = layOut(plan);
    const CustomActionRow* twin = laid.action(L"Verrand_Install1_Rollback_RollbackConfigureEnvironment");
    ASSERT_TRUE(twin);
    EXPECT_EQ(3329, twin->type);
    EXPECT_EQ(L"[INSTALLDIR]", laid.argument(twin->action, L"ENV_VALUE"));
    EXPECT_EQ(L"[VerrandStateFolder]\\Install1", laid.argument(twin->action, L"$action.invocationdata.dir"));
    EXPECT_EQ(laid.argument(L"Verrand_Install1_ConfigureEnvironment", L"$action.invocationdata.dir"),
              laid.argument(twin->action, L"$action.invocationdata.dir"));
    EXPECT_FALSE(laid.action(L"Verrand_Install2_Rollback_RollbackCopyUserConfigFile"));
    // The hand-named twin stays, and the plan's author hears of the exact one.
    EXPECT_TRUE(laid.action(L"Verrand_Install3_Rollback_ConfigureEnvironment"));
    EXPECT_EQ((std::vector<std::string>{ "plan install.json: steps[3]: ConfigureEnvironment does not give back exactly "
                                         "what ConfigureEnvironment changed; its exact twin is "
                                         "RollbackConfigureEnvironment" }),
              laid.additions.warnings);
    // A rollback leaves what a twin could not give back: only emptied folders go.
    EXPECT_EQ(L"1", laid.argument(L"Verrand_ForgetStateOnRollback", L"EmptiedOnly"));
    EXPECT_EQ(L"<none>", laid.argument(L"Verrand_ForgetState", L"EmptiedOnly"));
}

TEST(PackagePlan, WhatAPackageCannotRunIsRefusedWithItsPlace)
{
    struct Row {
        PlanStep step;
        const char* message;
    };
    const Row rows[] = {
        { step(L"InstallDUBundle", {}), "plan install.json: steps[2]: InstallDUBundle cannot run inside a Windows Installer package" },
        { step(L"RunCommand", {}, L"SetWindowsSystemFolderProps", {}),
          "plan install.json: steps[2].rollback: SetWindowsSystemFolderProps cannot run inside a Windows Installer package" },
        // Wine would skip a missing export and report success.
        { step(L"Nonexistent", {}), "plan install.json: steps[2]: the custom-action DLL has no action Nonexistent" },
        { step(L"SetCustomActionData", {}), "plan install.json: steps[2]: the custom-action DLL has no action SetCustomActionData" },
        { step(L"RemoveStateFolder", {}), "plan install.json: steps[2]: the custom-action DLL has no action RemoveStateFolder" },
        // A host-only name MSI would read as a component's folder.
        { step(L"RunCommand", { { L"CmdLine", L"[$du.dir]x" } }),
          "plan install.json: steps[2].args.CmdLine: [$du.dir] is no reference Windows Installer can format" },
        { step(L"RunCommand", { { L"A=B", L"x" } }), "plan install.json: steps[2].args.A=B: an argument name must be given" },
        { step(L"RunCommand", { { L"$du$action", L"x" } }),
          "plan install.json: steps[2].args.$du$action: the package gives this argument itself" },
        // Later steps read INSTALLDIR: the step runs before the script, where no twin can go.
        { step(L"GetProductOSDefaultInstallLocation", { { L"PropertyName", L"INSTALLDIR" } }, L"RunCommand", {}),
          "plan install.json: steps[2].rollback: the step runs before the installation script" },
    };
    for (const Row& row : rows) {
        Plan plan;
        plan.steps = { step(L"RunCommand", {}), row.step, step(L"RunCommand", { { L"CmdLine", L"[INSTALLDIR]" } }) };
        const std::string message = refusal(plan);
        EXPECT_EQ(0u, message.find(row.message)) << message;
    }
}

TEST(PackagePlan, NamesThePackageAlreadyUsesAreRefused)
{
    Plan plan;
    plan.steps = { step(L"RunCommand", {}) };
    struct Row {
        void (*change)(PackageFacts&);
        const char* message;
    };
    const Row rows[] = {
        { [](PackageFacts& f) { f.customActions.insert(L"Verrand_Install1_RunCommand"); },
          "the package already has an action named Verrand_Install1_RunCommand" },
        { [](PackageFacts& f) { f.properties[L"VerrandDuAction"] = L"x"; },
          "the package or a plan already has a property named VerrandDuAction" },
        // A package written once already.
        { [](PackageFacts& f) { f.tables.insert(L"VerrandActionData"); }, "the package already has a table named VerrandActionData" },
        { [](PackageFacts& f) { f.binaries.insert(L"VerrandCA"); }, "the package already has a Binary row named VerrandCA" },
        { [](PackageFacts& f) { f.executeSequence.erase(L"InstallFiles"); }, "the package's InstallExecuteSequence has no InstallFiles" },
        { [](PackageFacts& f) { f.executeSequence[L"FileCost"] = 997; }, "no room for 4 actions between FileCost (997) and CostFinalize (1000) in the package's InstallExecuteSequence" },
    };
    for (const Row& row : rows) {
        PackageFacts facts = payloadFacts();
        row.change(facts);
        EXPECT_EQ(row.message, refusal(plan, facts));
    }
}

TEST(PackagePlan, FormattedTextIsWhatWindowsInstallerFormats)
{
    const PackageFacts facts = payloadFacts();
    struct Row {
        const wchar_t* text;
        bool accepted;
    };
    const Row rows[] = {
        { L"[INSTALLDIR]bin\\notes.cmd", true },
        { L"plain {7C1F4E2A-93B5} text", true },
        { L"[%PATH];[#NotesCmd];[!NotesCmd];[$Program];[~];[\\[]x[\\]]", true },
        // Keys the package lacks, a host-only name, names MSI reads as record fields or nothing.
        { L"[#Missing]", false },
        { L"[$du.dir]", false },
        { L"[1]", false },
        { L"[]", false },
        { L"[%]", false },
        // Brackets that do not pair up.
        { L"[INSTALLDIR", false },
        { L"a]b", false },
        { L"[[INSTALLDIR]]", false },
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.accepted, FormattedTextProblem(row.text, facts).empty()) << Narrow(row.text);
}
