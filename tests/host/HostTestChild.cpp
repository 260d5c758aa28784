// A child process for the host tests, started by the sample action
// RunAndWait or by a test:
//   host-test-child print TEXT         writes TEXT to standard output and
//                                      "error: TEXT" to standard error
//   host-test-child fill COUNT         writes COUNT times "x" to standard
//                                      output, no line end
//   host-test-child wait READY RELEASE [ignored]
//                                      ignores Ctrl-C, starts a grandchild
//                                      in the same mode (unless "ignored"),
//                                      appends its process id to the file
//                                      READY and waits (at most ten minutes)
//                                      until the file RELEASE exists
//   host-test-child interrupt HOST_COMMAND_LINE OUTPUT READY TWIN_READY RELEASE
//                                      on a console of its own, starts the
//                                      host in a process group of its own
//                                      with its output into OUTPUT, waits
//                                      for READY to name two processes,
//                                      interrupts the host, waits for
//                                      TWIN_READY to name one, interrupts it
//                                      again, waits for the host to say it
//                                      ignored that, creates RELEASE and
//                                      prints what it sent and the host's
//                                      exit code
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {
const DWORD kTenMinutes = 600000;

bool fileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                              OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, 0) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    return content;
}

void appendLine(const std::wstring& path, const std::string& line)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_ALWAYS,
                              0, 0);
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, 0);
    CloseHandle(file);
}

void writeTo(DWORD which, const std::string& text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(which), text.data(), static_cast<DWORD>(text.size()), &written, 0);
}

// Waits (at most ten minutes, and no longer than `process` runs) until the
// file holds `lines` lines.
bool waitForLines(const std::wstring& path, size_t lines, HANDLE process)
{
    for (DWORD waited = 0; waited < kTenMinutes && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; waited += 50) {
        const std::string content = readFile(path);
        size_t count = 0;
        for (char c : content)
            count += c == '\n';
        if (count >= lines)
            return true;
        Sleep(50);
    }
    return false;
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

int waitForRelease(int argc, wchar_t** argv)
{
    SetConsoleCtrlHandler(0, TRUE);
    if (argc == 4) {
        std::wstring line = L"\"" + std::wstring(argv[0]) + L"\" wait \"" + argv[2] + L"\" \"" + argv[3] +
                            L"\" ignored";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    appendLine(argv[2], std::to_string(GetCurrentProcessId()));
    for (DWORD waited = 0; waited < kTenMinutes && !fileExists(argv[3]); waited += 50)
        Sleep(50);
    return 0;
}

int interrupt(wchar_t** argv)
{
    // A console of its own, shared with the host: the console events go to
    // the host's process group on it, and this process ignores them.
    FreeConsole();
    if (!AllocConsole()) {
        writeTo(STD_OUTPUT_HANDLE, "AllocConsole failed\n");
        return 2;
    }
    SetConsoleCtrlHandler(0, TRUE);
    SECURITY_ATTRIBUTES inheritable = { sizeof(inheritable), 0, TRUE };
    HANDLE output = CreateFileW(argv[3], GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, 0, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION host = {};
    std::wstring line = argv[2];
    if (!CreateProcessW(0, &line[0], 0, 0, TRUE, CREATE_NEW_PROCESS_GROUP, 0, 0, &startup, &host)) {
        writeTo(STD_OUTPUT_HANDLE, "cannot start the host\n");
        return 2;
    }
    CloseHandle(output);
    std::string report;
    // Ctrl-Break reaches a process group where the system can send it;
    // Wine sends only Ctrl-C to a group.
    auto sendEvent = [&]() {
        if (GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, host.dwProcessId))
            report += "sent Ctrl-Break\n";
        else if (GenerateConsoleCtrlEvent(CTRL_C_EVENT, host.dwProcessId))
            report += "sent Ctrl-C\n";
        else
            report += "cannot send a console event: " + std::to_string(GetLastError()) + "\n";
    };
    // The step's child and its grandchild are waiting.
    if (!waitForLines(argv[4], 2, host.hProcess))
        report += "the step's processes did not start\n";
    sendEvent();
    // The twin that waits is running.
    if (!waitForLines(argv[5], 1, host.hProcess))
        report += "the waiting twin did not start\n";
    sendEvent();
    // The host has said it ignores the second one.
    bool ignored = false;
    for (DWORD waited = 0; waited < kTenMinutes && !ignored && WaitForSingleObject(host.hProcess, 0) == WAIT_TIMEOUT;
         waited += 50) {
        ignored = readFile(argv[3]).find("ignored") != std::string::npos;
        if (!ignored)
            Sleep(50);
    }
    if (!ignored)
        report += "the host did not say it ignored the second event\n";
    appendLine(argv[6], "released");
    DWORD exitCode = 259;
    if (WaitForSingleObject(host.hProcess, kTenMinutes) != WAIT_OBJECT_0)
        report += "the host did not end\n";
    GetExitCodeProcess(host.hProcess, &exitCode);
    writeTo(STD_OUTPUT_HANDLE, report + "host exit code " + std::to_string(exitCode) + "\n");
    return 0;
}
}

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"print" && argc == 3) {
        writeTo(STD_OUTPUT_HANDLE, narrow(argv[2]) + "\n");
        writeTo(STD_ERROR_HANDLE, "error: " + narrow(argv[2]) + "\n");
        return 0;
    }
    if (mode == L"fill" && argc == 3) {
        const std::string block(65536, 'x');
        for (long left = _wtol(argv[2]); left > 0; left -= static_cast<long>(block.size()))
            writeTo(STD_OUTPUT_HANDLE, left < static_cast<long>(block.size()) ? block.substr(0, left) : block);
        return 0;
    }
    if (mode == L"wait" && argc >= 4)
        return waitForRelease(argc, argv);
    if (mode == L"interrupt" && argc == 7)
        return interrupt(argv);
    writeTo(STD_ERROR_HANDLE, "host-test-child: unknown mode\n");
    return 2;
}
