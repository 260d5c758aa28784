#pragma once
// With --json, the host's own standard output carries JSON only. Processes
// that actions start inherit the host's standard output and error, so while
// this object lives those are pipes: every line a child writes through them
// reaches the output as an "output" event instead, with the secrets of the
// steps run so far masked.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "Output.h"

class ChildOutput {
public:
    // Throws UsageFailure when the pipes cannot be made.
    explicit ChildOutput(Output& output);
    // Gives the host its standard handles back and shows what is left.
    ~ChildOutput();

    // Text to mask from now on (a step's SensitiveData); empty is ignored.
    void addSecret(const std::wstring& secret);
    // Returns once every whole line the children wrote so far is shown.
    void flush();

private:
    ChildOutput(const ChildOutput&);
    ChildOutput& operator=(const ChildOutput&);

    struct Stream {
        const char* name;
        DWORD standardHandle;
        HANDLE original;
        HANDLE read;
        HANDLE write;
        std::string pending;
    };

    void readLoop();
    bool readAvailable(Stream& stream);
    void show(Stream& stream, const std::string& line);

    Output& m_output;
    Stream m_streams[2];
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::wstring> m_secrets;
    unsigned long m_requested, m_done;
    bool m_stop;
};

// Text a child wrote, as UTF-8 when it is valid UTF-8, else in the OEM code
// page console programs write in.
std::wstring ChildText(const std::string& bytes);
