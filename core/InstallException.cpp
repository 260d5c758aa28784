#include "InstallException.h"

InstallException::InstallException(int code_) : std::exception(), code(code_) {}

InstallException::InstallException(const InstallException& other) : std::exception(other), code(other.code) {}

InstallException& InstallException::operator=(const InstallException& other)
{
    std::exception::operator=(other);
    code = other.code;
    return *this;
}

InstallException::~InstallException() throw() {}

const char* InstallException::what() const throw()
{
    return "InstallException thrown";
}
