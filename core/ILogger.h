#pragma once
#include <string>

// A sink for log lines. The host's action context is one; the install log
// hands out another. Lifetime is managed by whoever created the object
// (always through boost::shared_ptr), so the destructor is not virtual and
// the table holds Log first.
class ILogger {
public:
    virtual void Log(int level, const std::wstring& message) = 0;

protected:
    ~ILogger() {}
};
