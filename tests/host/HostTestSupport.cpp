#include "HostTestSupport.h"

std::wstring HostProgram()
{
    return DistFolder() + L"\\verrand-host.exe";
}

std::wstring SampleLibrary()
{
    return TestProgramFolder() + L"\\SampleActions.dll";
}

std::wstring TestChildProgram()
{
    return TestProgramFolder() + L"\\host-test-child.exe";
}

std::wstring HostCommand(const std::wstring& arguments)
{
    return QuotedArgument(HostProgram()) + L" " + arguments;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == '\r' ? 1 : 0)));
    return lines;
}
