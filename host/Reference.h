#pragma once
// The action reference (docs/actions.md) as sections: what `help ACTION`
// prints and `list` takes each action's sentence from.
//
// A section starts at a "### " heading and runs to the next heading of any
// level. A section whose title is one word (letters, digits, "_") is an
// action's; any other is a part that action sections share. An action
// section includes a part with a line "Includes [Title](#anchor)."
#include <string>
#include <vector>

struct ReferenceSection {
    std::string title;
    // From the heading line to the last line before the next heading,
    // trailing blank lines left out.
    std::string text;
    // Titles of the parts the section includes, in text order.
    std::vector<std::string> includes;
};

class Reference {
public:
    explicit Reference(const std::string& markdown);

    const std::vector<ReferenceSection>& sections() const { return m_sections; }
    // The section of that title, or null.
    const ReferenceSection* find(const std::string& title) const;
    // An action's section followed by the parts it includes; empty when the
    // reference has no section for it.
    std::string ActionText(const std::string& action) const;
    // The first paragraph of an action's section on one line; empty when
    // there is none.
    std::string Summary(const std::string& action) const;

    static bool IsActionTitle(const std::string& title);

private:
    std::vector<ReferenceSection> m_sections;
};
