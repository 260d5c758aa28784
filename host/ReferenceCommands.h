#pragma once
// `help ACTION` and `list`: the action reference compiled into the host.
#include <string>
#include <vector>

// The reference's section of the action, with the parts it includes;
// throws UsageFailure when the reference has none.
std::string ActionHelp(const std::string& action);

// One line per action: its name and, where the reference has a section for
// it, its sentence after the names, aligned.
std::vector<std::string> ActionListLines(const std::vector<std::string>& actions);
