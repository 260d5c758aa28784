#pragma once
#include <cstdint>

#include <boost/shared_ptr.hpp>

#include "Export.h"
#include "ILogger.h"
#include "MsiLogMessage.h"

// Loads a library and looks up functions in it. Copying is exported by
// Verrand; loading, lookup and unloading live in Mossel.
class VERRAND_API CLibraryInterop {
public:
    typedef int(__stdcall* Function)();

    MOSSEL_API explicit CLibraryInterop(boost::shared_ptr<ILogger> logger);
    CLibraryInterop(const CLibraryInterop& other);
    CLibraryInterop& operator=(const CLibraryInterop& other);
    MOSSEL_API virtual ~CLibraryInterop();

    MOSSEL_API virtual bool SetFile(const wchar_t* path);
    MOSSEL_API virtual Function GetFunction(const wchar_t* name);

private:
    // The module handle; pointer-sized, so a 64-bit build keeps it whole.
    std::uintptr_t m_module;
    boost::shared_ptr<ILogger> m_logger;
    CMsiLogMessage m_message;
};
