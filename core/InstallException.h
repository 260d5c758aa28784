#pragma once
#include <exception>

#include "Export.h"

// Thrown by sibling libraries and the host; carries an integer code. Its
// text is always "InstallException thrown".
class VERRAND_API InstallException : public std::exception {
public:
    explicit InstallException(int code);
    InstallException(const InstallException& other);
    InstallException& operator=(const InstallException& other);
    virtual ~InstallException() throw();
    virtual const char* what() const throw();

    int code;
};
