#pragma once
#include <string>

#include <boost/shared_ptr.hpp>

#include "ILogger.h"

// The host's action context. The order of the virtual operations is the
// binary contract with the host; the library calls Log, GetArg, SetProperty
// and FormatString only, but the seven operations in between keep their
// places in the table.
class IActionContext : public ILogger {
public:
    // Named argument or host property; never an empty pointer. An unknown
    // name gives an empty string.
    virtual boost::shared_ptr<std::wstring> GetArg(const std::wstring& name) = 0;
    virtual void SetProperty(const std::wstring& name, const std::wstring& value) = 0;

    // Host operations this library never calls.
    virtual void HostOperation4() = 0;
    virtual void HostOperation5() = 0;
    virtual void HostOperation6() = 0;
    virtual void HostOperation7() = 0;
    virtual void HostOperation8() = 0;
    virtual void HostOperation9() = 0;
    virtual void HostOperation10() = 0;

    // Formats a text with the host's own properties. The library always
    // passes an empty second text.
    virtual std::wstring FormatString(const std::wstring& text, const std::wstring& second) = 0;

protected:
    ~IActionContext() {}
};

typedef boost::shared_ptr<IActionContext> ActionContextPtr;
typedef boost::shared_ptr<ILogger> LoggerPtr;
