#pragma once
// Which arguments each action reads, found in the library's sources: the
// names of the argument-name tables (namespaces "...ArgumentNames" of
// constants built from literals) and literal names given to GetArg or
// GetCStringArg, in the action's body and in every function it calls, as
// far as the sources define them.
//
// The sources are read as this project writes them: functions at namespace
// or class level, actions as VERRAND_ACTION(Name), internal functions in
// anonymous namespaces (a call reaches those only from their own file).
#include <map>
#include <set>
#include <string>
#include <vector>

struct SourceFile {
    std::string path;
    std::string text;
};

struct ArgumentScan {
    // "Namespace::Constant" -> the argument name it holds.
    std::map<std::string, std::string> tableNames;
    // Each action -> the argument names it reads.
    std::map<std::string, std::set<std::string>> actionArguments;
    // Table constants the functions use that no table defines.
    std::set<std::string> unknownConstants;
};

ArgumentScan ScanArguments(const std::vector<SourceFile>& sources);

// The text with comments and preprocessor lines turned into blanks, and,
// when blankLiterals, the contents of string and character literals too;
// every character keeps its place.
std::string CodeOnly(const std::string& text, bool blankLiterals);
