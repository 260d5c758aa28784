#pragma once
// What each action of Verrand is, said once: one row per exported action.
// The host pairs plan steps with their twins and lists the actions from it,
// `verrand-host msi` lays packages out by it, VerrandCA.dll refuses what a
// package cannot run by it, and the reference check holds it against the
// exports and docs/actions.md. A new action or twin is one row here.
//
// Plain data and lookups: it links nothing and touches nothing, so the host
// (which does not link the library) and the library both carry it.
#include <cstddef>
#include <string>

// Where a package may run an action.
enum PackageUse {
    PackageRuns,     // in a package as anywhere
    PackageLeftOut,  // `verrand-host msi` refuses it: it fights the installer's own work
    PackageRefused,  // VerrandCA.dll refuses it too: it cannot work inside an installer session
};

// Whose account a package runs the action under.
enum RunsAs {
    RunsAsSystem,        // without impersonation
    RunsAsUser,          // the installing user: it works on that user's profile
    RunsAsUserForLink,   // the user when its linkFullPath lies in the user's profile folders
};

struct ActionFacts {
    const wchar_t* name;
    // The first sentence of the action's section in docs/actions.md.
    const wchar_t* sentence;
    // The twin that gives back exactly what the action changed; empty when
    // there is none.
    const wchar_t* twin;
    bool changesMachine;
    // The property it sets: a fixed name, or, when propertyArgument is set,
    // the name given in that argument. Both empty for none.
    const wchar_t* property;
    const wchar_t* propertyArgument;
    // Keeps (or, as a twin, consumes) state in $action.invocationdata.dir.
    bool keepsState;
    PackageUse package;
    RunsAs runsAs;
};

// Every row, in name order.
const ActionFacts* CatalogueRows(std::size_t& count);
// The row of an action; null when the catalogue has none.
const ActionFacts* FindActionFacts(const std::wstring& name);
// The exact twin of an action; empty when it has none or is unknown.
std::wstring ExactTwin(const std::wstring& action);
// The action whose exact twin this is; empty when it is nobody's twin.
std::wstring TwinOf(const std::wstring& twin);
