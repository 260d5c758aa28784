#pragma once
#include <string>

// A mistake in how the host was called (or in its plan): one line on
// standard error and exit status 2.
struct UsageFailure {
    std::string message;
};
