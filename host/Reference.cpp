#include "Reference.h"

#include <sstream>

namespace {
const std::string kSectionHeading = "### ";
const std::string kIncludes = "Includes [";

bool startsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

std::string withoutReturn(std::string line)
{
    if (!line.empty() && line[line.size() - 1] == '\r')
        line.erase(line.size() - 1);
    return line;
}

bool blank(const std::string& line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

void finish(ReferenceSection& section, std::vector<std::string>& lines, std::vector<ReferenceSection>& into)
{
    while (!lines.empty() && blank(lines.back()))
        lines.pop_back();
    for (const std::string& line : lines)
        section.text += line + "\n";
    into.push_back(section);
    lines.clear();
}
}

Reference::Reference(const std::string& markdown)
{
    std::istringstream input(markdown);
    std::string line;
    ReferenceSection section;
    std::vector<std::string> lines;
    bool inSection = false;
    while (std::getline(input, line)) {
        line = withoutReturn(line);
        if (startsWith(line, "#")) {
            if (inSection)
                finish(section, lines, m_sections);
            inSection = startsWith(line, kSectionHeading);
            section = ReferenceSection();
            section.title = line.substr(line.find(' ') + 1);
        } else if (inSection && startsWith(line, kIncludes)) {
            const std::string::size_type end = line.find(']', kIncludes.size());
            if (end != std::string::npos)
                section.includes.push_back(line.substr(kIncludes.size(), end - kIncludes.size()));
        }
        if (inSection)
            lines.push_back(line);
    }
    if (inSection)
        finish(section, lines, m_sections);
}

const ReferenceSection* Reference::find(const std::string& title) const
{
    for (const ReferenceSection& section : m_sections) {
        if (section.title == title)
            return &section;
    }
    return 0;
}

std::string Reference::ActionText(const std::string& action) const
{
    const ReferenceSection* section = IsActionTitle(action) ? find(action) : 0;
    if (!section)
        return std::string();
    std::string text = section->text;
    for (const std::string& title : section->includes) {
        if (const ReferenceSection* part = find(title))
            text += "\n" + part->text;
    }
    return text;
}

std::string Reference::Summary(const std::string& action) const
{
    const ReferenceSection* section = IsActionTitle(action) ? find(action) : 0;
    if (!section)
        return std::string();
    std::istringstream input(section->text);
    std::string line;
    std::getline(input, line); // the heading
    std::string summary;
    while (std::getline(input, line)) {
        if (blank(line)) {
            if (summary.empty())
                continue;
            break;
        }
        summary += (summary.empty() ? "" : " ") + line.substr(line.find_first_not_of(" \t"));
    }
    return summary;
}

bool Reference::IsActionTitle(const std::string& title)
{
    if (title.empty())
        return false;
    for (char c : title) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    }
    return true;
}
