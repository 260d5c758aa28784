#pragma once
// `help ACTION`: the action reference compiled into the host; `list`: the
// catalogue of actions.
#include <string>
#include <vector>

// The reference's section of the action, with the parts it includes;
// throws UsageFailure when the reference has none.
std::string ActionHelp(const std::string& action);

// One line per action: its name, its exact twin ("-" when it has none) and
// its sentence, aligned, for each action the catalogue knows; the name
// alone for any other.
std::vector<std::string> ActionListLines(const std::vector<std::string>& actions);
