// Environment settings on generated malformed EnvSettings texts, applied
// for real to this process's environment (which is put back after every
// input). Each setting that the text format recognises must leave its
// lines in order, and one that fails must end with its FAILS TO SET line;
// a piece that is no setting leaves one warning, an empty one nothing.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include "PocoWrapper/StringTokenizer.h"
#include "RobustnessHarness.h"
#include "actions/command/EnvironmentSettings.h"
#include "core/SecretMask.h"
#include "core/ValueEntries.h"
#include "support/ActionLibrary.h"
#include "support/InputMutator.h"
#include "support/RecordingContext.h"

namespace {
// The longest value the system keeps.
const std::size_t kLongestValue = 32766;

struct Setting {
    std::wstring name;
    std::wstring value;
    bool prepend;
    // A piece that is no setting: only its place (from 1) counts.
    std::size_t skippedPiece;
};

// The settings of a text, by its format: pieces at "|"; a piece with "="
// that splits into exactly two is an assignment, else one with "+" that
// splits into exactly two is a prepend; anything else is skipped.
std::vector<Setting> recognisedSettings(const std::wstring& text)
{
    std::vector<Setting> settings;
    const PocoWrapper::StringTokenizer pieces(text, L"|", 0);
    for (std::size_t i = 0; i < pieces.count(); ++i) {
        const std::wstring piece = pieces[i];
        const bool assignment = piece.find(L'=') != std::wstring::npos;
        const Setting skipped = { L"", L"", false, i + 1 };
        if (!assignment && piece.find(L'+') == std::wstring::npos) {
            if (!piece.empty())
                settings.push_back(skipped);
            continue;
        }
        const PocoWrapper::StringTokenizer parts(piece, assignment ? L"=" : L"+", 0);
        if (parts.count() != 2) {
            settings.push_back(skipped);
            continue;
        }
        Setting setting = { parts[0], parts[1], !assignment, 0 };
        settings.push_back(setting);
    }
    return settings;
}

// A text as the system sees it through a null-terminated pointer.
std::wstring asPassed(const std::wstring& text)
{
    return text.substr(0, text.find(L'\0'));
}

bool readVariable(const std::wstring& name, std::wstring& value)
{
    std::vector<wchar_t> buffer(64);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(name.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            value.assign(&buffer[0], length);
            return length > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        }
        buffer.resize(length + 1);
    }
}

// The values the settings of one text work on: the environment before the
// text, then whatever the earlier settings of the text did. Names are
// compared the way the environment compares them, without regard to case.
class EnvironmentModel {
public:
    explicit EnvironmentModel(const std::vector<Setting>& settings)
    {
        for (std::size_t i = 0; i < settings.size(); ++i) {
            if (settings[i].skippedPiece)
                continue;
            const std::wstring name = asPassed(settings[i].name);
            std::wstring value;
            readVariable(name, value);
            m_values.push_back(std::make_pair(name, value));
        }
    }

    std::wstring value(const std::wstring& name) const
    {
        const std::wstring passed = asPassed(name);
        for (std::size_t i = m_values.size(); i-- > 0;) {
            if (sameName(m_values[i].first, passed))
                return m_values[i].second;
        }
        return std::wstring();
    }

    void set(const std::wstring& name, const std::wstring& value)
    {
        m_values.push_back(std::make_pair(asPassed(name), asPassed(value)));
    }

    // The environment now holds the model's last value of every name.
    void check() const
    {
        for (std::size_t i = 0; i < m_values.size(); ++i) {
            const std::wstring& name = m_values[i].first;
            const std::wstring expected = value(name);
            std::wstring actual;
            readVariable(name, actual);
            if (!name.empty()) {
                ASSERT_TRUE(expected == actual) << "variable " << Shown(name) << " holds " << Shown(actual)
                                                << " instead of " << Shown(expected);
            }
        }
    }

private:
    static bool sameName(const std::wstring& a, const std::wstring& b)
    {
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                    TRUE) == CSTR_EQUAL;
    }

    std::vector<std::pair<std::wstring, std::wstring> > m_values;
};

bool startsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool startsWithAny(const std::wstring& text, const std::vector<const wchar_t*>& prefixes)
{
    for (const wchar_t* prefix : prefixes) {
        if (startsWith(text, prefix))
            return true;
    }
    return false;
}

// The lines that report a setting that failed.
bool isFailureLine(const LogLine& line)
{
    return line.level == 4 && startsWithAny(line.text, { L"FAILS TO SET ", L"SetEnvironmentVariable failed (",
                                                         L"GetEnvironmentVariable failed (", L"Out of memory" });
}

bool isSettingLine(const LogLine& line)
{
    return isFailureLine(line) ||
           startsWithAny(line.text, { L"  EXISTING     ", L"  NO ACTION IS TAKEN BECAUSE [", L"  GOING TO SET " });
}

// Walks the lines that the settings wrote, starting at `next`, one setting
// at a time, and checks each against the model.
void checkSettingLines(const std::vector<Setting>& settings, const std::vector<LogLine>& lines, std::size_t& next,
                       EnvironmentModel& model)
{
    for (std::size_t k = 0; k < settings.size(); ++k) {
        const Setting& setting = settings[k];
        if (setting.skippedPiece) {
            ASSERT_LT(next, lines.size()) << "no warning for piece " << setting.skippedPiece;
            ASSERT_EQ(3, lines[next].level);
            ASSERT_TRUE(lines[next].text == SkippedSettingLine(setting.skippedPiece)) << Shown(lines[next].text);
            ++next;
            continue;
        }
        SCOPED_TRACE("setting " + std::to_string(k) + ": name " + Shown(setting.name) + " value " +
                     Shown(setting.value) + (setting.prepend ? " (prepend)" : " (assignment)"));
        const std::wstring current = model.value(setting.name);
        const std::wstring failsLine = L"FAILS TO SET " + setting.name + L" = " + setting.value;
        ASSERT_LT(next, lines.size()) << "no line for the setting";

        if (!current.empty()) {
            ASSERT_EQ(2, lines[next].level);
            ASSERT_TRUE(lines[next].text == L"  EXISTING     " + setting.name + L" = [" + current + L"]")
                << Shown(lines[next].text);
            ++next;
        }
        ASSERT_LT(next, lines.size());
        if (setting.prepend && !current.empty() && FindWholeEntry(current, setting.value) != std::wstring::npos) {
            ASSERT_TRUE(lines[next].text == L"  NO ACTION IS TAKEN BECAUSE [" + setting.value + L"] IS ALREADY IN [" +
                                                current + L"]")
                << Shown(lines[next].text);
            ++next;
            continue;
        }
        const std::wstring newValue = setting.prepend ? setting.value + current : setting.value;
        ASSERT_EQ(2, lines[next].level);
        ASSERT_TRUE(lines[next].text == L"  GOING TO SET " + setting.name + L" = [" + newValue + L"]")
            << Shown(lines[next].text);
        ++next;

        // The system turns down an empty name; that is the one failure a
        // generated text can provoke.
        if (asPassed(setting.name).empty()) {
            ASSERT_LT(next + 1, lines.size()) << "a failed setting must say so";
            ASSERT_EQ(4, lines[next].level);
            ASSERT_EQ(L"SetEnvironmentVariable failed (87)\n", lines[next].text);
            ASSERT_EQ(4, lines[next + 1].level);
            ASSERT_TRUE(lines[next + 1].text == failsLine) << Shown(lines[next + 1].text);
            next += 2;
            continue;
        }
        const bool failed = next < lines.size() && isFailureLine(lines[next]);
        if (asPassed(newValue).size() > kLongestValue) {
            // Too long for the system: Windows turns it down, Wine keeps the
            // first characters. Either way the outcome must be reported.
            if (failed) {
                ASSERT_TRUE(startsWith(lines[next].text, L"SetEnvironmentVariable failed (")) << Shown(lines[next].text);
                ASSERT_LT(next + 1, lines.size());
                ASSERT_TRUE(lines[next + 1].text == failsLine);
                next += 2;
            } else {
                model.set(setting.name, asPassed(newValue).substr(0, kLongestValue));
            }
            continue;
        }
        if (failed)
            FAIL() << "setting failed: " << Shown(lines[next].text);
        model.set(setting.name, newValue);
    }
}

// Puts the environment back as it was before an input, whatever the input
// added, removed or changed.
class EnvironmentSnapshot {
public:
    EnvironmentSnapshot() : m_variables(variables()) {}

    void restore() const
    {
        // Most inputs change a few variables: touch only those. A variable
        // whose name changed case is removed and set again.
        const Variables now = variables();
        for (Variables::const_iterator variable = now.begin(); variable != now.end(); ++variable) {
            if (!m_variables.count(variable->first))
                SetEnvironmentVariableW(variable->first.c_str(), 0);
        }
        for (Variables::const_iterator variable = m_variables.begin(); variable != m_variables.end(); ++variable) {
            const Variables::const_iterator current = now.find(variable->first);
            if (current == now.end() || current->second != variable->second)
                SetEnvironmentVariableW(variable->first.c_str(), variable->second.c_str());
        }
    }

private:
    typedef std::map<std::wstring, std::wstring> Variables;

    static Variables variables()
    {
        Variables result;
        wchar_t* block = GetEnvironmentStringsW();
        for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
            // Names of the hidden per-drive variables begin with "=".
            const wchar_t* equals = wcschr(entry + 1, L'=');
            if (!equals || entry[0] == L'=')
                continue;
            result[std::wstring(entry, equals)] = std::wstring(equals + 1);
        }
        FreeEnvironmentStringsW(block);
        return result;
    }

    Variables m_variables;
};

const std::vector<std::string> kSettingSeeds = {
    "VERRAND_A=1|VERRAND_B=2",
    "PATH+C:\\tools;",
    "VERRAND_P+a+b",
    "VERRAND_E=b=c",
    "NOSEPARATOR",
    " VERRAND_SP = v ",
    "|||",
    "=value",
    "+value",
    "VERRAND_N=",
    "VERRAND_N+",
    "VERRAND_R=x|VERRAND_R+y|verrand_r+y|VERRAND_R+x",
    "VERRAND_U=\xE2\x98\xBA|\xC3\xA9t\xC3\xA9=\xF0\x9F\x98\x80",
    "VERRAND_L=" + std::string(4100, 'x') + "|VERRAND_L+y",
};

class EnvSettingsRobustness : public ::testing::Test {
protected:
    void attack(std::size_t index, const std::wstring& text)
    {
        const std::vector<Setting> settings = recognisedSettings(text);
        EnvironmentModel model(settings);
        RecordingContextPtr context = RecordingContext::Create();
        ASSERT_NO_THROW(ApplyEnvSettings(*context, text, SecretMask(L"", false)))
            << "input " << index << ": " << Shown(text);
        SCOPED_TRACE("input " + std::to_string(index) + ": " + Shown(text));
        std::size_t next = 0;
        ASSERT_NO_FATAL_FAILURE(checkSettingLines(settings, context->lines, next, model));
        ASSERT_EQ(context->lines.size(), next) << "lines for no setting: " << Shown(context->lines[next].text);
        ASSERT_NO_FATAL_FAILURE(model.check());
        snapshot.restore();
    }

    EnvironmentSnapshot snapshot;
};
}

TEST_F(EnvSettingsRobustness, MutatedTextsApplyEverySettingOrSayWhy)
{
    InputMutator mutator(kSettingSeeds, 0xE5E7u, "=+|; aAZ_\\:%\t");
    for (std::size_t i = 0; i < 12000; ++i) {
        BeginInput(Target::EnvSettings, i);
        ASSERT_NO_FATAL_FAILURE(attack(i, mutator.NextWide())) << "input " << i;
    }
}

TEST_F(EnvSettingsRobustness, HugeTextsAndValues)
{
    std::wstring manyPrepends;
    std::wstring manyAssignments;
    for (int i = 0; i < 5000; ++i) {
        manyPrepends += L"VERRAND_MANY+x" + std::to_wstring(i % 7) + L";|";
        manyAssignments += L"VERRAND_MANY" + std::to_wstring(i % 50) + L"=" + std::to_wstring(i) + L"|";
    }
    const std::vector<std::wstring> inputs = {
        L"VERRAND_H=" + std::wstring(5000, L'h') + L"|VERRAND_H+" + std::wstring(5000, L'g'),
        L"VERRAND_H=" + std::wstring(32000, L'h') + L"|VERRAND_H+" + std::wstring(100, L'g'),
        L"VERRAND_H=" + std::wstring(40000, L'h') + L"|VERRAND_H+g",
        std::wstring(100000, L'|'),
        std::wstring(100000, L'='),
        std::wstring(50000, L'+') + L"=",
        manyPrepends,
        manyAssignments,
        std::wstring(20000, L'N') + L"=v",
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        BeginInput(Target::EnvSettings, i);
        ASSERT_NO_FATAL_FAILURE(attack(i, inputs[i])) << "input " << i;
    }
}

TEST_F(EnvSettingsRobustness, RunCommandExportAppliesTheSettingsBeforeTheLaunch)
{
    InputMutator mutator(kSettingSeeds, 0xE5E8u, "=+|; aAZ_\\:%\t");
    for (std::size_t i = 0; i < 150; ++i) {
        BeginInput(Target::EnvSettingsThroughDll, i);
        std::wstring text = mutator.NextWide();
        // An empty text applies nothing and writes no settings lines.
        if (text.empty())
            text = L"VERRAND_D=1";
        const std::vector<Setting> settings = recognisedSettings(text);
        EnvironmentModel model(settings);
        // A program that does not exist: the launch fails at once.
        RecordingContextPtr context = RecordingContext::Create(
            { { L"CmdLine", L"\"C:\\verrand-robustness\\no-such-program.exe\"" }, { L"EnvSettings", text } });
        ASSERT_EQ(0, CallAction("RunCommand", context)) << "input " << i;
        SCOPED_TRACE("input " + std::to_string(i) + ": " + Shown(text));
        const std::vector<LogLine>& lines = context->lines;
        std::size_t next = 0;
        while (next < lines.size() && !startsWith(lines[next].text, L"EnvSettings = ["))
            ++next;
        ASSERT_LT(next, lines.size()) << "no EnvSettings line";
        ASSERT_TRUE(lines[next].text == L"EnvSettings = [" + text + L"]");
        ++next;
        ASSERT_NO_FATAL_FAILURE(checkSettingLines(settings, lines, next, model));
        if (next < lines.size()) {
            ASSERT_FALSE(isSettingLine(lines[next])) << "lines for no setting: " << Shown(lines[next].text);
        }
        for (const LogLine& line : lines)
            ASSERT_FALSE(startsWith(line.text, L"RunCommand: Unable to execute this command")) << Shown(line.text);
        ASSERT_NO_FATAL_FAILURE(model.check());
        snapshot.restore();
    }
}
