#pragma once
// Calls actions through the real Verrand.dll exports, resolved by their plain
// names, the way a setup program does.
#include <string>

#include <boost/shared_ptr.hpp>

#include "core/Action.h"

// The export, or null when Verrand.dll does not export that plain name.
ActionFunction FindAction(const char* name);

// Calls the export with the context (a copy of the reference, as a host
// passes it). Fails the test when the export is missing.
int CallAction(const char* name, const boost::shared_ptr<IActionContext>& context);
