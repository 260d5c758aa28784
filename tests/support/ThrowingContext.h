#pragma once
// A recording context that throws when the action reads one chosen argument
// or sets one chosen property, to drive an action's crash guard.
#include <stdexcept>

#include "support/RecordingContext.h"

class ThrowingContext : public RecordingContext {
public:
    std::wstring failingArgument;
    std::wstring failingProperty;

    boost::shared_ptr<std::wstring> GetArg(const std::wstring& name)
    {
        if (name == failingArgument)
            throw std::runtime_error("host lost its arguments");
        return RecordingContext::GetArg(name);
    }

    void SetProperty(const std::wstring& name, const std::wstring& value)
    {
        if (name == failingProperty)
            throw std::runtime_error("host refused the property");
        RecordingContext::SetProperty(name, value);
    }
};
