#include "ReferenceInputs.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <windows.h>

namespace {
std::string windowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string besideProgram(const std::string& name)
{
    char module[MAX_PATH] = {};
    GetModuleFileNameA(0, module, MAX_PATH);
    const std::string path(module);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}
}

std::string ReadSourceFile(const std::string& path)
{
    std::ifstream file(windowsPath(path), std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

ReferenceInputs ReadReferenceInputs()
{
    std::ifstream list(besideProgram("reference-inputs.txt"));
    ReferenceInputs inputs;
    std::getline(list, inputs.reference);
    std::getline(list, inputs.definitions);
    for (std::string line; std::getline(list, line);) {
        if (line.size() > 5 && line.compare(line.size() - 5, 5, ".json") == 0)
            inputs.plans.push_back(line);
        else if (!line.empty())
            inputs.sources.push_back(line);
    }
    std::ifstream others(besideProgram("reference-other-sources.txt"));
    for (std::string line; std::getline(others, line);) {
        if (!line.empty())
            inputs.otherSources.push_back(line);
    }
    return inputs;
}

