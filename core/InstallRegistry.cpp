#include "InstallRegistry.h"

const int CInstallRegistry::RegistrySearchType_Directory;
const int CInstallRegistry::RegistrySearchType_FileName;
const int CInstallRegistry::RegistrySearchType_RawValue;
const int CInstallRegistry::RegistrySearchType_64bit;

// m_lastValueType is left alone: it means something only once a value has been read.
CInstallRegistry::CInstallRegistry() : m_rootKey(0), m_hKey(0), m_options(0), m_state(0) {}

CInstallRegistry::CInstallRegistry(const CInstallRegistry& other)
    : m_rootKey(other.m_rootKey), m_hKey(other.m_hKey), m_keyPath(other.m_keyPath),
      m_lastValueType(other.m_lastValueType), m_options(other.m_options), m_state(other.m_state)
{
}

CInstallRegistry& CInstallRegistry::operator=(const CInstallRegistry& other)
{
    m_rootKey = other.m_rootKey;
    m_hKey = other.m_hKey;
    m_keyPath = other.m_keyPath;
    m_lastValueType = other.m_lastValueType;
    m_options = other.m_options;
    m_state = other.m_state;
    return *this;
}

CInstallRegistry::~CInstallRegistry()
{
    CloseKeys();
}

HKEY CInstallRegistry::GetHKEY() const { return m_hKey; }
unsigned long CInstallRegistry::GetLastValueType() const { return m_lastValueType; }
const CString& CInstallRegistry::GetKeyPath() const { return m_keyPath; }
