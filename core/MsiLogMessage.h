#pragma once
#include <boost/shared_ptr.hpp>

#include "CString.h"
#include "Export.h"
#include "ILogger.h"

// Writes lines with a fixed prefix through a logger at the information level.
// The constructor from a logger and Log live in Mossel; copying and
// destruction are exported by Verrand.
class VERRAND_API CMsiLogMessage {
public:
    MOSSEL_API CMsiLogMessage(boost::shared_ptr<ILogger> logger, const wchar_t* text);
    CMsiLogMessage(const CMsiLogMessage& other);
    CMsiLogMessage& operator=(const CMsiLogMessage& other);
    virtual ~CMsiLogMessage();

    MOSSEL_API void Log(const wchar_t* line);

private:
    friend class CLibraryInterop;
    CMsiLogMessage();

    boost::shared_ptr<ILogger> m_logger;
    CString m_text;
};
