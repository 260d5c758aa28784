#pragma once
// With --json, the host's own standard output carries JSON only. Processes
// that actions start inherit the host's standard output and error, so while
// this object lives those are pipes: every line a child writes through them
// reaches the output as an "output" event instead, with the secrets of the
// steps run so far (the output's) masked in the bytes before they are
// decoded as the action's captured output is, and in the text; a line
// longer than CommandOutput::kPieceCharacters comes in pieces.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "core/OutputLines.h"
#include "Output.h"

class ChildOutput : public ActionObserver {
public:
    // Throws UsageFailure when the pipes cannot be made.
    explicit ChildOutput(Output& output);
    // Gives the host its standard handles back and shows what is left.
    ~ChildOutput();

    // Returns once every whole line the children wrote so far is shown.
    void flush();

private:
    ChildOutput(const ChildOutput&);
    ChildOutput& operator=(const ChildOutput&);

    struct Stream {
        DWORD standardHandle;
        HANDLE original;
        HANDLE read;
        HANDLE write;
        std::unique_ptr<OutputLines> lines;
    };

    void readLoop();
    bool readAvailable(Stream& stream);

    Output& m_output;
    LineBudget m_budget;
    Stream m_streams[2];
    std::vector<char> m_buffer; // the reader thread's
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    unsigned long m_requested, m_done;
    bool m_stop;
};
