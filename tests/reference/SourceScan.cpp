#include "SourceScan.h"

#include <regex>

namespace {
struct Function {
    std::string name;
    size_t file;
    bool internal;
    bool action;
    std::set<std::string> names;  // argument names used in the body
    std::set<std::string> calls;  // identifiers called in the body
};

bool identifierChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

std::string trimmed(const std::string& text)
{
    const std::string::size_type first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The position of the "}" that closes the "{" at open (in code without
// comments and literals), or the end.
size_t closingBrace(const std::string& code, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < code.size(); ++i) {
        if (code[i] == '{')
            ++depth;
        else if (code[i] == '}' && --depth == 0)
            return i;
    }
    return code.size();
}

// The function a header names: VERRAND_ACTION(Name), else the identifier
// before the first "(" (the last piece of a qualified name).
bool functionName(const std::string& header, std::string& name, bool& action)
{
    static const std::regex actionHeader("^VERRAND_ACTION\\s*\\(\\s*(\\w+)\\s*\\)$");
    std::smatch match;
    if (std::regex_match(header, match, actionHeader)) {
        name = match[1];
        action = true;
        return true;
    }
    action = false;
    const std::string::size_type paren = header.find('(');
    if (paren == std::string::npos)
        return false;
    std::string::size_type end = paren;
    while (end > 0 && header[end - 1] == ' ')
        --end;
    std::string::size_type start = end;
    while (start > 0 && identifierChar(header[start - 1]))
        --start;
    name = header.substr(start, end - start);
    return !name.empty();
}

// A header whose braces open a function body: its last piece is a
// parameter list, perhaps with qualifiers or a constructor's initialisers.
bool functionHeader(const std::string& header)
{
    static const std::regex body("[\\s\\S]*\\)\\s*(const|override|noexcept|throw\\s*\\(\\s*\\))?\\s*$");
    static const std::regex notFunction("^(namespace|class|struct|union|enum|extern)\\b[\\s\\S]*");
    return std::regex_match(header, body) && !std::regex_match(header, notFunction);
}

bool transparentScope(const std::string& header)
{
    static const std::regex scope("^(template\\s*<[^>]*>\\s*)?(namespace|class|struct|union|extern)\\b[\\s\\S]*");
    return std::regex_match(header, scope);
}

bool anonymousNamespace(const std::string& header)
{
    static const std::regex anonymous("^namespace\\s*$");
    return std::regex_match(header, anonymous);
}

void collectBody(const std::string& code, const std::string& text, size_t from, size_t to, Function& function,
                 const std::map<std::string, std::string>& tables, std::set<std::string>& unknown)
{
    const std::string body = code.substr(from, to - from);
    const std::string bodyText = text.substr(from, to - from);
    static const std::regex constant("\\b(\\w+ArgumentNames)::(\\w+)");
    for (std::sregex_iterator it(body.begin(), body.end(), constant), end; it != end; ++it) {
        const std::string key = (*it)[1].str() + "::" + (*it)[2].str();
        const std::map<std::string, std::string>::const_iterator found = tables.find(key);
        if (found == tables.end())
            unknown.insert(key);
        else
            function.names.insert(found->second);
    }
    static const std::regex literal("\\b(?:GetArg|GetCStringArg)\\s*\\(\\s*(?:[\\w*]+\\s*,\\s*)?L\"([^\"]*)\"");
    for (std::sregex_iterator it(bodyText.begin(), bodyText.end(), literal), end; it != end; ++it)
        function.names.insert((*it)[1]);
    static const std::regex call("\\b([A-Za-z_]\\w*)\\s*\\(");
    for (std::sregex_iterator it(body.begin(), body.end(), call), end; it != end; ++it)
        function.calls.insert((*it)[1]);
}

// The functions of one file, found at namespace and class level.
void scanFile(size_t index, const std::string& text, const std::map<std::string, std::string>& tables,
              std::vector<Function>& functions, std::set<std::string>& unknown)
{
    const std::string code = CodeOnly(text, true);
    const std::string withLiterals = CodeOnly(text, false);
    std::vector<bool> internalScopes;  // one entry per open transparent scope
    size_t headerStart = 0;
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == ';') {
            headerStart = i + 1;
        } else if (c == '}') {
            if (!internalScopes.empty())
                internalScopes.pop_back();
            headerStart = i + 1;
        } else if (c == '{') {
            const std::string header = trimmed(code.substr(headerStart, i - headerStart));
            if (transparentScope(header) && !functionHeader(header)) {
                const bool outerInternal = !internalScopes.empty() && internalScopes.back();
                internalScopes.push_back(outerInternal || anonymousNamespace(header));
                headerStart = i + 1;
                continue;
            }
            const size_t close = closingBrace(code, i);
            Function function;
            if (functionHeader(header) && functionName(header, function.name, function.action)) {
                function.file = index;
                function.internal = (!internalScopes.empty() && internalScopes.back()) ||
                                    header.compare(0, 7, "static ") == 0;
                collectBody(code, withLiterals, i, close, function, tables, unknown);
                functions.push_back(function);
            }
            i = close;
            headerStart = close + 1;
        }
    }
}

std::map<std::string, std::string> tableNames(const std::vector<SourceFile>& sources)
{
    static const std::regex space("^namespace\\s+(\\w+ArgumentNames)\\s*\\{");
    static const std::regex constant("const\\s+std::wstring\\s+(\\w+)\\s*\\(\\s*L\"([^\"]*)\"\\s*\\)\\s*;");
    std::map<std::string, std::string> names;
    for (const SourceFile& source : sources) {
        const std::string text = CodeOnly(source.text, false);
        const std::string code = CodeOnly(source.text, true);
        for (std::string::size_type at = code.find("namespace"); at != std::string::npos;
             at = code.find("namespace", at + 1)) {
            std::smatch match;
            const std::string rest = code.substr(at);
            if (!std::regex_search(rest, match, space, std::regex_constants::match_continuous))
                continue;
            const size_t open = at + match.length(0) - 1;
            const size_t close = closingBrace(code, open);
            const std::string block = text.substr(open, close - open);
            for (std::sregex_iterator it(block.begin(), block.end(), constant), end; it != end; ++it)
                names[match[1].str() + "::" + (*it)[1].str()] = (*it)[2];
        }
    }
    return names;
}
}

std::string CodeOnly(const std::string& text, bool blankLiterals)
{
    std::string code = text;
    bool lineStart = true;
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (lineStart && c == '#') {
            while (i < code.size() && code[i] != '\n') {
                // A directive continued on the next line.
                if (code[i] == '\\' && i + 1 < code.size() && code[i + 1] == '\n')
                    code[i++] = ' ';
                code[i++] = ' ';
            }
        } else if (c == '/' && i + 1 < code.size() && code[i + 1] == '/') {
            while (i < code.size() && code[i] != '\n')
                code[i++] = ' ';
        } else if (c == '/' && i + 1 < code.size() && code[i + 1] == '*') {
            const std::string::size_type end = code.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? code.size() : end + 2;
            for (; i < stop; ++i) {
                if (code[i] != '\n')
                    code[i] = ' ';
            }
            --i;
        } else if (c == '"' || c == '\'') {
            size_t j = i + 1;
            for (; j < code.size() && code[j] != c && code[j] != '\n'; ++j) {
                if (code[j] == '\\' && j + 1 < code.size()) {
                    if (blankLiterals)
                        code[j] = ' ';
                    ++j;
                }
                if (blankLiterals)
                    code[j] = ' ';
            }
            i = j;
        }
        if (i < code.size())
            lineStart = code[i] == '\n' || (lineStart && (code[i] == ' ' || code[i] == '\t'));
    }
    return code;
}

ArgumentScan ScanArguments(const std::vector<SourceFile>& sources)
{
    ArgumentScan scan;
    scan.tableNames = tableNames(sources);
    std::vector<Function> functions;
    for (size_t i = 0; i < sources.size(); ++i)
        scanFile(i, sources[i].text, scan.tableNames, functions, scan.unknownConstants);

    std::multimap<std::string, size_t> byName;
    for (size_t i = 0; i < functions.size(); ++i)
        byName.insert(std::make_pair(functions[i].name, i));

    for (size_t a = 0; a < functions.size(); ++a) {
        if (!functions[a].action)
            continue;
        std::set<std::string>& names = scan.actionArguments[functions[a].name];
        std::set<size_t> seen;
        std::vector<size_t> pending(1, a);
        while (!pending.empty()) {
            const Function& function = functions[pending.back()];
            pending.pop_back();
            if (!seen.insert(&function - &functions[0]).second)
                continue;
            names.insert(function.names.begin(), function.names.end());
            for (const std::string& call : function.calls) {
                // A function of the caller's own file first; another file's
                // only when it is not internal to that file.
                std::vector<size_t> own;
                std::vector<size_t> others;
                const auto range = byName.equal_range(call);
                for (auto it = range.first; it != range.second; ++it) {
                    const Function& callee = functions[it->second];
                    if (callee.file == function.file)
                        own.push_back(it->second);
                    else if (!callee.internal)
                        others.push_back(it->second);
                }
                const std::vector<size_t>& callees = own.empty() ? others : own;
                pending.insert(pending.end(), callees.begin(), callees.end());
            }
        }
    }
    return scan;
}
