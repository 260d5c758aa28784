#pragma once
#include <string>

// Argument names of the file actions, built once when the library loads.
namespace FileArgumentNames {
// Host-supplied names; "$du.dir" is the one of DuArgumentNames.
extern const std::wstring Debug;
extern const std::wstring DuAction;
extern const std::wstring InvocationDataDir;

// Text replacement.
extern const std::wstring File;
extern const std::wstring SearchWord;
extern const std::wstring ReplaceWord;
extern const std::wstring Attributes;

// User configuration files.
extern const std::wstring SrcFileName;
extern const std::wstring DestDirName;
extern const std::wstring DestFileName;
extern const std::wstring DirName;
extern const std::wstring FileName;
}
