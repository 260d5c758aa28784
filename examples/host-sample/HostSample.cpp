// The smallest setup program that calls Verrand: it loads Verrand.dll, serves
// an action's arguments and properties from a map, calls the action by its
// plain exported name and prints every line the action logs.
//
//   HostSample.exe ACTION [NAME=VALUE]...
//
// Build it with mingw-w64's g++ with POSIX threads, the compiler and runtime
// the release is built with (the context crosses into the DLL as a g++
// object, and the DLL's libstdc++ and libwinpthread are the POSIX-threads
// ones), for the release's architecture, with the release's include/ folder
// and a folder holding Boost's boost/ headers:
//
//   i686-w64-mingw32-g++-posix -std=c++17 -municode -I include -I BOOST
//       examples/host-sample/HostSample.cpp -o bin/HostSample.exe
//
// for the 32-bit release (verrand-VERSION-win32.zip), and
// x86_64-w64-mingw32-g++-posix for the 64-bit one (-win64.zip). Run it from
// the release's bin/ folder, or with bin/ on the PATH: it needs Verrand.dll
// and the mingw runtime beside it.
#include <cstdio>
#include <exception>
#include <map>
#include <string>

#include <windows.h>

#include "verrand/Action.h"

namespace {
std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), 0, 0, 0, 0);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size, 0, 0);
    return result;
}

// The host's side of the contract: arguments first, then properties; an
// unknown name is an empty text, never an empty pointer. Final: the
// interface's destructor is not virtual, so only this class may delete it.
class MapContext final : public IActionContext {
public:
    typedef std::map<std::wstring, std::wstring> Values;
    Values arguments;
    Values properties;

    void Log(int level, const std::wstring& message) override
    {
        switch (level) {
        case LogLevelInfo: std::printf("[info] %s\n", utf8(message).c_str()); break;
        case LogLevelWarning: std::printf("[warn] %s\n", utf8(message).c_str()); break;
        case LogLevelError: std::printf("[error] %s\n", utf8(message).c_str()); break;
        default: std::printf("[level %d] %s\n", level, utf8(message).c_str());
        }
    }

    boost::shared_ptr<std::wstring> GetArg(const std::wstring& name) override
    {
        Values::const_iterator found = arguments.find(name);
        if (found == arguments.end())
            found = properties.find(name);
        return boost::shared_ptr<std::wstring>(new std::wstring(found == properties.end() ? L"" : found->second));
    }

    void SetProperty(const std::wstring& name, const std::wstring& value) override
    {
        properties[name] = value;
        std::printf("property %s = %s\n", utf8(name).c_str(), utf8(value).c_str());
    }

    // Places in the table that Verrand never calls.
    void HostOperation4() override {}
    void HostOperation5() override {}
    void HostOperation6() override {}
    void HostOperation7() override {}
    void HostOperation8() override {}
    void HostOperation9() override {}
    void HostOperation10() override {}

    // [NAME] becomes the property's value (nothing for an unknown name).
    std::wstring FormatString(const std::wstring& text, const std::wstring&) override
    {
        std::wstring result;
        std::wstring::size_type at = 0;
        while (at < text.size()) {
            const std::wstring::size_type open = text.find(L'[', at);
            const std::wstring::size_type close = open == std::wstring::npos ? open : text.find(L']', open);
            if (close == std::wstring::npos) {
                result += text.substr(at);
                break;
            }
            result += text.substr(at, open - at);
            const Values::const_iterator found = properties.find(text.substr(open + 1, close - open - 1));
            if (found != properties.end())
                result += found->second;
            at = close + 1;
        }
        return result;
    }
};
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: HostSample ACTION [NAME=VALUE]...\n");
        return 2;
    }
    boost::shared_ptr<MapContext> context(new MapContext);
    for (int i = 2; i < argc; ++i) {
        const std::wstring pair = argv[i];
        const std::wstring::size_type equals = pair.find(L'=');
        if (equals == std::wstring::npos) {
            std::fprintf(stderr, "argument without '=': %s\n", utf8(pair).c_str());
            return 2;
        }
        context->arguments[pair.substr(0, equals)] = pair.substr(equals + 1);
    }

    // Loaded by name, not through an import library, so that a failure can
    // be told: Windows finds it, and the DLLs it needs, beside the program
    // or on the PATH.
    HMODULE verrand = LoadLibraryW(L"Verrand.dll");
    if (!verrand) {
        const unsigned long error = GetLastError();
        std::fprintf(stderr,
                     "HostSample: cannot load Verrand.dll (error %lu): run HostSample.exe from the release's bin\\ "
                     "folder, or with bin\\ on the PATH, so that Verrand.dll and the DLLs beside it are found\n",
                     error);
        return 2;
    }
    const std::string name = utf8(argv[1]);
    ActionFunction action = reinterpret_cast<ActionFunction>(GetProcAddress(verrand, name.c_str()));
    if (!action) {
        std::fprintf(stderr, "Verrand.dll does not export the action %s\n", name.c_str());
        return 2;
    }
    int status = 3;
    try {
        status = action(context);
        std::printf("%s returned %d\n", name.c_str(), status);
    } catch (const std::exception& exception) {
        std::printf("%s threw: %s\n", name.c_str(), exception.what());
    }
    std::fflush(stdout);
    return status;
}
