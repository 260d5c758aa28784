#include "FileArgumentNames.h"

namespace FileArgumentNames {
const std::wstring Debug(L"$debug");
const std::wstring DuAction(L"$du$action");
const std::wstring InvocationDataDir(L"$action.invocationdata.dir");

const std::wstring File(L"File");
const std::wstring SearchWord(L"SearchWord");
const std::wstring ReplaceWord(L"ReplaceWord");
const std::wstring Attributes(L"Attributes");

const std::wstring SrcFileName(L"SrcFileName");
const std::wstring DestDirName(L"DestDirName");
const std::wstring DestFileName(L"DestFileName");
const std::wstring DirName(L"DirName");
const std::wstring FileName(L"FileName");
}
