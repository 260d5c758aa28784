#pragma once
#include "CString.h"
#include "Export.h"

#include <cstdio>

// Line-oriented UTF-8 text file. The default constructor (exported by
// Verrand) is CTextFile(1); everything else lives in Mossel.
class VERRAND_API CTextFile {
public:
    enum Options {
        WriteByteOrderMark = 1, // start files opened for writing with a UTF-8 BOM
    };

    CTextFile();
    MOSSEL_API explicit CTextFile(unsigned long options);
    MOSSEL_API ~CTextFile();

    // Opens for reading, or for writing (truncating). False with GetLastError.
    MOSSEL_API bool Open(const wchar_t* path, bool forWriting);
    // Next line without its line end; false at the end of the file.
    MOSSEL_API bool ReadLine(CString& line);
    MOSSEL_API bool WriteLine(const CString& line);
    MOSSEL_API void Close();

private:
    CTextFile(const CTextFile&);
    CTextFile& operator=(const CTextFile&);

    unsigned long m_options;
    FILE* m_file;
    bool m_firstRead;
};
