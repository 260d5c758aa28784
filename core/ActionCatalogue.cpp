#include "ActionCatalogue.h"

namespace {
// name,
//   sentence,
//   exact twin, changes the machine, property set (fixed name, or the argument that names it),
//   keeps state, package use, runs as
const ActionFacts kRows[] = {
    { L"ConfigureEnvironment",
      L"Edits one machine-wide environment variable (prepend, remove, assign or clear) in the system "
      L"environment and can tell running programs, at install, removal or rollback; "
      L"`RollbackConfigureEnvironment` is its rollback twin.",
      L"RollbackConfigureEnvironment", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"CopyUserConfigFile",
      L"Copies a default user-configuration file from the deployment unit into the user's folder at install,"
      L" keeping the user's own file at any other transaction; its rollback twin is "
      L"`RollbackCopyUserConfigFile`.",
      L"RollbackCopyUserConfigFile", true, L"", L"", true, PackageRuns, RunsAsUser },
    { L"CreateShortcut",
      L"Creates a shortcut file (`.lnk`) or, for a web address, an Internet shortcut (`.url`), at install; "
      L"its rollback twin is `RollbackCreateShortcut` with the same arguments.",
      L"RollbackCreateShortcut", true, L"", L"", true, PackageRuns, RunsAsUserForLink },
    { L"CreateUserConfigRegistryKey",
      L"Writes one string value of a user's configuration into the registry, creating its key, at install.",
      L"RollbackCreateUserConfigRegistryKey", true, L"", L"", true, PackageRuns, RunsAsUser },
    { L"DeleteRegistryKey",
      L"Deletes one registry value, or one key that has no subkeys, at removal.",
      L"RollbackDeleteRegistryKey", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"EnsureFolderExists",
      L"Creates a folder with all its missing parents, before the host or a later step puts files into it; "
      L"its rollback twin is `RollbackEnsureFolderExists`.",
      L"RollbackEnsureFolderExists", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"GetProductOSDefaultInstallLocation",
      L"Publishes the default installation folder for a product folder name in a property, before the "
      L"install folder is chosen.",
      L"", false, L"", L"PropertyName", false, PackageRuns, RunsAsSystem },
    { L"GetProductPatchLevel",
      L"Publishes a product's patch level, worked out from the installed revisions of the product and of its"
      L" product family, in a property.",
      L"", false, L"", L"PropertyName", false, PackageRuns, RunsAsSystem },
    { L"InstallDUBundle",
      L"Installs a deployment unit's Windows Installer package silently, under the machine-wide installer "
      L"mutex, at install; its rollback twin is `RollbackInstallDUBundle`.",
      L"RollbackInstallDUBundle", true, L"", L"", true, PackageRefused, RunsAsSystem },
    { L"LMRXTextReplace",
      L"Replaces every occurrence of one text by another inside an installed text file, after install.",
      L"RollbackLMRXTextReplace", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"MoveRegistry",
      L"Renames one registry value within its key, keeping its data, at install or upgrade.",
      L"RollbackMoveRegistry", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"ProductAction_FormatString",
      L"Asks the host to expand a text with its own properties and publishes the result as the property "
      L"`FormattedString`.",
      L"", false, L"FormattedString", L"", false, PackageRuns, RunsAsSystem },
    { L"RefreshDesktopWindow",
      L"Tells the shell that file associations or icons changed, so the desktop and Explorer windows redraw "
      L"their icons, after install or removal.",
      L"", false, L"", L"", false, PackageRuns, RunsAsSystem },
    { L"RemoveShortcut",
      L"Deletes a shortcut file and then the folders it leaves empty, up to the first shell folder, at "
      L"removal; its rollback twin is `RollbackRemoveShortcut`.",
      L"RollbackRemoveShortcut", true, L"", L"", true, PackageRuns, RunsAsUserForLink },
    { L"RemoveUserConfigFile",
      L"Removes a user-configuration file or folder at uninstall, keeping a copy for its rollback twin "
      L"`RollbackRemoveUserConfigFile`.",
      L"RollbackRemoveUserConfigFile", true, L"", L"", true, PackageRuns, RunsAsUser },
    { L"RemoveUserConfigRegistryKey",
      L"Removes one value of a user's configuration at uninstall, and its key when nothing else is left in "
      L"it.",
      L"RollbackRemoveUserConfigRegistryKey", true, L"", L"", true, PackageRuns, RunsAsUser },
    { L"RepairDUBundle",
      L"Does nothing and returns 0, for setups whose plan names a repair step.",
      L"", false, L"", L"", false, PackageRuns, RunsAsSystem },
    { L"RollbackConfigureEnvironment",
      L"Gives back exactly what one `ConfigureEnvironment` changed, as its rollback twin.",
      L"", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"RollbackCopyUserConfigFile",
      L"Undoes `CopyUserConfigFile` as its rollback twin: removes the copied file and puts back the file it "
      L"replaced.",
      L"", true, L"", L"", true, PackageRuns, RunsAsUser },
    { L"RollbackCreateShortcut",
      L"Undoes `CreateShortcut` as its rollback twin: puts back the shortcut file that stood at the place, "
      L"byte for byte, or removes the one the create saved, and removes the folders the create made while "
      L"they are empty.",
      L"", true, L"", L"", true, PackageRuns, RunsAsUserForLink },
    { L"RollbackCreateUserConfigRegistryKey",
      L"Gives back the value one `CreateUserConfigRegistryKey` wrote over, and removes the keys it created, "
      L"as its rollback twin.",
      L"", true, L"", L"", true, PackageRuns, RunsAsUser },
    { L"RollbackDeleteRegistryKey",
      L"Puts back what one `DeleteRegistryKey` deleted, as its rollback twin.",
      L"", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"RollbackEnsureFolderExists",
      L"Removes the folders `EnsureFolderExists` created, innermost first and only while they are empty, as "
      L"its rollback twin; a folder that was there before stays.",
      L"", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"RollbackInstallDUBundle",
      L"Removes the product `InstallDUBundle` installed, as its rollback twin, only when that step installed it "
      L"fresh.",
      L"", true, L"", L"", true, PackageRefused, RunsAsSystem },
    { L"RollbackLMRXTextReplace",
      L"Puts back the file `LMRXTextReplace` edited, as its rollback twin: the original itself, with its bytes, "
      L"security and attributes.",
      L"", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"RollbackMoveRegistry",
      L"Puts back the source and the target of one `MoveRegistry` exactly as they were, as its rollback "
      L"twin.",
      L"", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"RollbackRemoveShortcut",
      L"Puts back the shortcut `RemoveShortcut` removed, with the folders removed with it, as its rollback "
      L"twin.",
      L"", true, L"", L"", true, PackageRuns, RunsAsUserForLink },
    { L"RollbackRemoveUserConfigFile",
      L"Puts back what `RemoveUserConfigFile` removed, as its rollback twin.",
      L"", true, L"", L"", true, PackageRuns, RunsAsUser },
    { L"RollbackRemoveUserConfigRegistryKey",
      L"Puts back the value one `RemoveUserConfigRegistryKey` removed, with its key, as its rollback twin.",
      L"", true, L"", L"", true, PackageRuns, RunsAsUser },
    { L"RollbackSetPrivilege",
      L"Takes back the right `SetPrivilege` granted, as its rollback twin, only from an account that did not "
      L"hold it before the grant.",
      L"", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"RunCommand",
      L"Runs a command line for the host at install, removal or repair, retrying it while it fails, and "
      L"returns 0 whatever the command did; its rollback twin is usually `RunRollBackCommand`.",
      L"", true, L"", L"", false, PackageRuns, RunsAsSystem },
    { L"RunCommandAndSetProperty",
      L"Runs a command line once and turns its exit code into the value of a property, for later steps to "
      L"test.",
      L"", true, L"", L"WriteProperty", false, PackageRuns, RunsAsSystem },
    { L"RunCommandConditional",
      L"Runs a command line once when two values are equal, without regard to case, and returns 0 whatever "
      L"the command did.",
      L"", true, L"", L"", false, PackageRuns, RunsAsSystem },
    { L"RunCommandOnNormalAndRepair",
      L"Runs one command line at install and another at repair, once, and returns 0 whatever the command "
      L"did.",
      L"", true, L"", L"", false, PackageRuns, RunsAsSystem },
    { L"RunRollBackCommand",
      L"Runs a rollback command line once, as the rollback twin of a step that ran a command, and returns 0 "
      L"whatever the command did.",
      L"", true, L"", L"", false, PackageRuns, RunsAsSystem },
    { L"SetPrivilege",
      L"Grants a user right (a privilege such as `SeServiceLogonRight`) to an account or to the current "
      L"user, at install; its rollback twin is `RollbackSetPrivilege`.",
      L"RollbackSetPrivilege", true, L"", L"", true, PackageRuns, RunsAsSystem },
    { L"SetWindowsSystemFolderProps",
      L"Publishes the standard Windows folders as the folder properties installer packages use, at the start"
      L" of a setup host's plan.",
      L"", false, L"", L"", false, PackageLeftOut, RunsAsSystem },
    { L"TranslateString",
      L"Resolves the `#identifier#` references of a text from a uitext file and publishes the result as the "
      L"property `TranslatedString`.",
      L"", false, L"TranslatedString", L"", false, PackageRuns, RunsAsSystem },
    { L"TranslateStringIfConditionsEqual",
      L"Does what `TranslateString` does when two values are equal, and nothing otherwise.",
      L"", false, L"TranslatedString", L"", false, PackageRuns, RunsAsSystem },
    { L"UnInstallDUBundle",
      L"Removes a deployment unit's Windows Installer product silently, by product code or by package, at "
      L"removal and as the rollback twin of `InstallDUBundle`.",
      L"", true, L"", L"", false, PackageRefused, RunsAsSystem },
};

const std::size_t kRowCount = sizeof(kRows) / sizeof(kRows[0]);
}

const ActionFacts* CatalogueRows(std::size_t& count)
{
    count = kRowCount;
    return kRows;
}

const ActionFacts* FindActionFacts(const std::wstring& name)
{
    for (const ActionFacts& row : kRows)
        if (name == row.name)
            return &row;
    return 0;
}

std::wstring ExactTwin(const std::wstring& action)
{
    const ActionFacts* row = FindActionFacts(action);
    return row ? row->twin : L"";
}

std::wstring TwinOf(const std::wstring& twin)
{
    if (twin.empty())
        return std::wstring();
    for (const ActionFacts& row : kRows)
        if (twin == row.twin)
            return row.name;
    return std::wstring();
}
