#pragma once
// Faults that Wine does not produce from Win32 calls alone, made on the Unix
// side of the Wine prefix. Wine runs as root here, so neither a folder's ACL
// (Wine stores it but does not check it when a file is created) nor its Unix
// permissions stop a file being created; the immutable attribute and a full
// file system do.
#include <string>

// True when the program runs under Wine.
bool RunningUnderWine();

// Runs a /bin/sh script on the Unix side of Wine and waits for its end.
// Wine gives no handle to wait on for a Unix process, so the script reports
// its exit status through a file. Returns the status, or -1 when the script
// could not be started or did not finish within a minute.
int RunUnixScript(const std::string& script);

// The Unix path of a Windows path, quoted for /bin/sh.
std::string QuotedUnixPath(const std::wstring& path);

// A Unix symbolic link at link to target; false where there is no Unix
// side (not under Wine) or it cannot be made.
bool MakeUnixLink(const std::wstring& link, const std::wstring& target);

// A folder in which nothing can be created or removed while the object
// exists: first an ACL that denies everyone adding or removing entries (what
// Windows honours), and when that is not honoured, under Wine, the Unix
// immutable attribute. Files already inside can still be written.
class CreationDeniedFolder {
public:
    explicit CreationDeniedFolder(const std::wstring& folder);
    ~CreationDeniedFolder();
    // False when neither way denies creation (see reason()).
    bool inForce() const { return m_inForce; }
    const std::string& reason() const { return m_reason; }

private:
    CreationDeniedFolder(const CreationDeniedFolder&);
    bool denies() const;
    void setDenyingAcl();
    void restoreAcl();
    std::wstring m_folder;
    void* m_previousDescriptor;
    void* m_previousDacl;
    bool m_aclSet;
    bool m_immutable;
    bool m_inForce;
    std::string m_reason;
};

// A small file system of its own mounted on an empty folder, so that
// writing into that folder runs out of space (Wine only: a tmpfs mount).
class SmallVolume {
public:
    SmallVolume(const std::wstring& folder, unsigned kilobytes);
    ~SmallVolume();
    bool inForce() const { return m_inForce; }
    const std::string& reason() const { return m_reason; }

private:
    SmallVolume(const SmallVolume&);
    std::wstring m_folder;
    bool m_inForce;
    std::string m_reason;
};
