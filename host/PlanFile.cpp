#include "PlanFile.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "core/ActionCatalogue.h"

#include "Output.h"
#include "UsageFailure.h"

namespace {
// Line and column (from 1) of the characters the parser has taken, and where
// the token it took last began.
struct TextPosition {
    size_t line = 1, column = 0;
    size_t tokenLine = 1, tokenColumn = 0;
    size_t previousTokenLine = 1, previousTokenColumn = 0;
    bool inString = false, escaped = false, inWord = false, startedToken = false;

    void take(char c)
    {
        startedToken = false;
        if (c == '\n') {
            ++line;
            column = 0;
        } else {
            ++column;
        }
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            return;
        }
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        const bool structural = c == '{' || c == '}' || c == '[' || c == ']' || c == ',' || c == ':' || c == '"';
        if (structural || (!blank && !inWord))
            startToken();
        inString = c == '"';
        inWord = !blank && !structural;
    }

    void startToken()
    {
        startedToken = true;
        previousTokenLine = tokenLine;
        previousTokenColumn = tokenColumn;
        tokenLine = line;
        tokenColumn = column;
    }
};

// Hands the plan's characters to the parser one by one and counts them.
class CountingIterator {
public:
    typedef std::input_iterator_tag iterator_category;
    typedef char value_type;
    typedef std::ptrdiff_t difference_type;
    typedef const char* pointer;
    typedef const char& reference;

    CountingIterator(const char* at, TextPosition* position) : m_at(at), m_position(position) {}
    reference operator*() const { return *m_at; }
    CountingIterator& operator++()
    {
        m_position->take(*m_at);
        ++m_at;
        return *this;
    }
    bool operator==(const CountingIterator& other) const { return m_at == other.m_at; }
    bool operator!=(const CountingIterator& other) const { return m_at != other.m_at; }

private:
    const char* m_at;
    TextPosition* m_position;
};

// What the parser may meet at each place of a plan.
enum Place {
    Document,      // the plan object
    PlanKeys,      // inside it
    StepList,      // the "steps" array
    StepKeys,      // inside a step
    RollbackKeys,  // inside a twin
    TextMap,       // inside "properties" or "args"
};

struct Frame {
    Place place;
    std::string path;
    std::set<std::string> keys;
    size_t items;
    bool haveAction;
};

// Builds the plan from the parser's events and stops at the first thing
// that is not part of a plan.
class PlanReader : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit PlanReader(const TextPosition& position) : m_position(position) {}

    Plan plan;
    std::string problem;

    bool null()
    {
        if (placeOfValue() == StepKeys && m_key == "rollback") {
            plan.steps.back().withoutTwin = true;
            return true;
        }
        return value("null");
    }
    bool boolean(bool) { return value("a boolean"); }
    bool number_integer(number_integer_t) { return number(); }
    bool number_unsigned(number_unsigned_t) { return number(); }
    bool number_float(number_float_t, const string_t&) { return number(); }
    bool binary(binary_t&) { return value("binary data"); }

    bool string(string_t& text)
    {
        const std::string path = valuePath();
        const Place at = placeOfValue();
        if (at == TextMap) {
            (*currentMap())[wide(m_key)] = wide(text);
            return true;
        }
        if ((at == StepKeys || at == RollbackKeys) && m_key == "action") {
            currentAction()->action = wide(text);
            m_frames.back().haveAction = true;
            return true;
        }
        return refuse(path, "must be " + expected() + ", not a text");
    }

    bool start_object(std::size_t)
    {
        const std::string path = valuePath();
        Place inside;
        if (m_frames.empty()) {
            inside = PlanKeys;
        } else {
            const Place at = placeOfValue();
            if (at == StepList) {
                plan.steps.push_back(PlanStep());
                inside = StepKeys;
            } else if (at == StepKeys && m_key == "rollback") {
                plan.steps.back().hasRollback = true;
                inside = RollbackKeys;
            } else if ((at == PlanKeys && m_key == "properties") ||
                       ((at == StepKeys || at == RollbackKeys) && m_key == "args")) {
                inside = TextMap;
            } else {
                return refuse(path, "must be " + expected() + ", not an object");
            }
        }
        m_frames.push_back(Frame{ inside, path, {}, 0, false });
        return true;
    }

    bool key(string_t& name)
    {
        Frame& frame = m_frames.back();
        const std::string path = join(frame.path, name);
        if (!frame.keys.insert(name).second)
            return refuse(path, "the key is given twice");
        static const char* const planKeys[] = { "properties", "steps", 0 };
        static const char* const stepKeys[] = { "action", "args", "rollback", 0 };
        static const char* const rollbackKeys[] = { "action", "args", 0 };
        const char* const* known = frame.place == PlanKeys ? planKeys
                                   : frame.place == StepKeys ? stepKeys
                                   : frame.place == RollbackKeys ? rollbackKeys : 0;
        if (known) {
            bool found = false;
            std::string names;
            for (const char* const* k = known; *k; ++k) {
                found = found || name == *k;
                names += std::string(names.empty() ? "" : ", ") + "\"" + *k + "\"";
            }
            if (!found)
                return refuse(path, "unknown key (" + placeName(frame.place) + " has " + names + ")");
        }
        m_key = name;
        return true;
    }

    bool end_object()
    {
        const Frame frame = m_frames.back();
        if ((frame.place == StepKeys || frame.place == RollbackKeys) && !frame.haveAction)
            return refuse(frame.path, placeName(frame.place) + " needs an \"action\" text");
        m_frames.pop_back();
        if (frame.place == RollbackKeys || frame.place == TextMap)
            m_key.clear();
        return true;
    }

    bool start_array(std::size_t)
    {
        const std::string path = valuePath();
        if (m_frames.empty() || placeOfValue() != PlanKeys || m_key != "steps")
            return refuse(path, "must be " + expected() + ", not an array");
        m_frames.push_back(Frame{ StepList, path, {}, 0, false });
        return true;
    }

    bool end_array()
    {
        m_frames.pop_back();
        return true;
    }

    // nlohmann's text, "[json.exception.parse_error.101] parse error at
    // line 2, column 18: syntax error ...", in the plan's own form: the
    // place, then what is wrong. Bytes that are no UTF-8 are not shown.
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e)
    {
        std::string text = e.what();
        const std::string::size_type at = text.find("parse error at ");
        if (at != std::string::npos)
            text.erase(0, at + std::strlen("parse error at "));
        const std::string::size_type colon = text.find(": ");
        std::string where = colon == std::string::npos ? std::string() : text.substr(0, colon);
        std::string what = colon == std::string::npos ? text : text.substr(colon + 2);
        if (what.find("ill-formed UTF-8") != std::string::npos)
            what = "the file is not UTF-8 text";
        const std::string::size_type lastRead = what.find("; last read: '");
        if (lastRead != std::string::npos && !isAscii(what.substr(lastRead)))
            what.erase(lastRead, what.find('\'', lastRead + 14) + 1 - lastRead);
        const std::string place = m_frames.empty() || m_frames.back().path.empty() ? "the plan" : m_frames.back().path;
        problem = (where.empty() ? std::string() : where + ": ") + place + ": " + what;
        return false;
    }

private:
    static bool isAscii(const std::string& text)
    {
        for (char c : text)
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
        return true;
    }

    bool number() { return value("a number"); }

    bool value(const std::string& kind)
    {
        return refuse(valuePath(), "must be " + expected() + ", not " + kind, kind == "a number");
    }

    bool refuse(const std::string& path, const std::string& what, bool numberToken = false)
    {
        // A number ends one character late: the parser read the one after it,
        // which may have started the next token already.
        const bool lookahead = numberToken && m_position.startedToken;
        const size_t line = lookahead ? m_position.previousTokenLine : m_position.tokenLine;
        const size_t column = lookahead ? m_position.previousTokenColumn : m_position.tokenColumn;
        problem = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                  (path.empty() ? std::string("the plan") : path) + ": " + what;
        return false;
    }

    // Where the value now starting sits.
    Place placeOfValue() const { return m_frames.empty() ? Document : m_frames.back().place; }

    std::string valuePath()
    {
        if (m_frames.empty())
            return std::string();
        Frame& frame = m_frames.back();
        if (frame.place == StepList)
            return frame.path + "[" + std::to_string(++frame.items) + "]";
        return join(frame.path, m_key);
    }

    static std::string join(const std::string& path, const std::string& key)
    {
        return path.empty() ? key : path + "." + key;
    }

    std::string expected() const
    {
        switch (placeOfValue()) {
        case Document:
            return "an object";
        case StepList:
            return "a step object";
        case TextMap:
            return "a text";
        case PlanKeys:
            return m_key == "steps" ? "an array of steps" : "an object of texts";
        case StepKeys:
        case RollbackKeys:
            return m_key == "action"   ? "a text"
                   : m_key == "args"   ? "an object of texts"
                   : m_key == "rollback" ? "a rollback object, or null for no twin"
                                         : "an object";
        }
        return "something else";
    }

    static std::string placeName(Place place)
    {
        switch (place) {
        case PlanKeys:
            return "a plan";
        case StepKeys:
            return "a step";
        case RollbackKeys:
            return "a rollback step";
        default:
            return "this object";
        }
    }

    PlanAction* currentAction()
    {
        return m_frames.back().place == RollbackKeys ? &plan.steps.back().rollback : &plan.steps.back().action;
    }

    PropertyValues* currentMap()
    {
        const Frame& owner = m_frames[m_frames.size() - 2];
        if (owner.place == PlanKeys)
            return &plan.properties;
        return owner.place == RollbackKeys ? &plan.steps.back().rollback.arguments
                                           : &plan.steps.back().action.arguments;
    }

    const TextPosition& m_position;
    std::vector<Frame> m_frames;
    std::string m_key;
};
}

Plan ParsePlan(const std::string& text, const std::string& name)
{
    // A plan saved as UTF-16 (with its byte-order mark, or the NUL byte of
    // each ASCII character) is refused as such, not as a syntax error.
    const bool utf16 = text.size() >= 2 && (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0 ||
                                            text[0] == '\0' || text[1] == '\0');
    if (utf16)
        throw UsageFailure{ "plan " + name + ": line 1, column 1: the plan: the file is not UTF-8 text (it looks "
                                             "like UTF-16; save it as UTF-8)" };
    TextPosition position;
    PlanReader reader(position);
    const bool parsed = nlohmann::json::sax_parse(CountingIterator(text.data(), &position),
                                                  CountingIterator(text.data() + text.size(), &position), &reader);
    if (!parsed)
        throw UsageFailure{ "plan " + name + ": " + reader.problem };
    return reader.plan;
}

Plan ReadPlan(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file)
        throw UsageFailure{ "cannot read plan " + utf8(path) };
    std::stringstream content;
    content << file.rdbuf();
    return ParsePlan(content.str(), utf8(path));
}

std::vector<std::string> PairTwins(Plan& plan)
{
    std::vector<std::string> lines;
    for (size_t i = 0; i < plan.steps.size(); ++i) {
        PlanStep& step = plan.steps[i];
        const std::wstring twin = ExactTwin(step.action.action);
        if (twin.empty() || step.withoutTwin)
            continue;
        if (!step.hasRollback) {
            step.hasRollback = true;
            step.rollback = PlanAction{ twin, step.action.arguments };
        } else if (step.rollback.action != twin) {
            lines.push_back("steps[" + std::to_string(i + 1) + "]: " + utf8(step.rollback.action) +
                            " does not give back exactly what " + utf8(step.action.action) +
                            " changed; its exact twin is " + utf8(twin));
        }
    }
    return lines;
}
