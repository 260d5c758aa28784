#include "LibraryInterop.h"

CLibraryInterop::CLibraryInterop(const CLibraryInterop& other)
    : m_module(other.m_module), m_logger(other.m_logger), m_message(other.m_message)
{
}

CLibraryInterop& CLibraryInterop::operator=(const CLibraryInterop& other)
{
    m_module = other.m_module;
    m_logger = other.m_logger;
    m_message = other.m_message;
    return *this;
}
