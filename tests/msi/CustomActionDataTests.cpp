// The CustomActionData argument format: Name=Value pairs, ";;" for a ";".
#include <gtest/gtest.h>

#include "msi/CustomActionData.h"

TEST(CustomActionData, PairsSplitWhereTheFormatSays)
{
    struct Row {
        const wchar_t* text;
        CustomActionArguments expected;
    };
    const Row rows[] = {
        // The plain case, names exactly as written (case and blanks kept).
        { L"CmdLine=run.exe;LogCmdLine=yes", { { L"CmdLine", L"run.exe" }, { L"LogCmdLine", L"yes" } } },
        { L" Name =x;name=y", { { L" Name ", L"x" }, { L"name", L"y" } } },
        // ";;" is a ";" of the value; an odd run ends the pair after the pairs of ";".
        { L"EnvSettings=A=1;;B=2;Next=3", { { L"EnvSettings", L"A=1;B=2" }, { L"Next", L"3" } } },
        { L"A=x;;;B=y", { { L"A", L"x;" }, { L"B", L"y" } } },
        { L"A=x;;;;B=y", { { L"A", L"x;;B=y" } } },
        { L"A=;;", { { L"A", L";" } } },
        // The first "=" ends the name; later ones belong to the value.
        { L"Props=INSTALLDIR=\"C:\\a b\\\" X=1", { { L"Props", L"INSTALLDIR=\"C:\\a b\\\" X=1" } } },
        { L"$action.invocationdata.dir=C:\\t\\1;$du.dir=C:\\u\\",
          { { L"$action.invocationdata.dir", L"C:\\t\\1" }, { L"$du.dir", L"C:\\u\\" } } },
        // Empty values are named (no property fallback); empty pieces at the ends are skipped.
        { L"A=;B=", { { L"A", L"" }, { L"B", L"" } } },
        { L";A=1;;", { { L"A", L"1;" } } },
        { L";;A=1", { { L";A", L"1" } } },
        { L";A=1;;;", { { L"A", L"1;" } } },
        { L"", {} },
        { L";", {} },
    };
    for (const Row& row : rows) {
        CustomActionArguments arguments;
        std::wstring refusal;
        EXPECT_TRUE(ParseCustomActionData(row.text, arguments, refusal)) << testing::PrintToString(row.text);
        EXPECT_EQ(row.expected, arguments) << testing::PrintToString(std::wstring(row.text));
        EXPECT_EQ(L"", refusal);
    }
}

// A value with a single ";" in it (a property that holds one) would make
// arguments of its own: such a text is refused, naming the piece by its
// place only, since its text may be a secret.
TEST(CustomActionData, PiecesThatCannotBeMeantAreRefused)
{
    struct Row {
        const wchar_t* text;
        const wchar_t* refusal;
    };
    const Row rows[] = {
        { L"CmdLine=run \"ab;cd-Secret\";LogCmdLine=yes", L"CustomActionData piece 2 has no \"=\"" },
        { L"CmdLine=x pw1;SensitiveData=zzz;SensitiveData=pw1;SensitiveData=zzz",
          L"CustomActionData piece 3 names an argument an earlier piece named" },
        { L"Flag;A=1", L"CustomActionData piece 1 has no \"=\"" },
        { L";=v", L"CustomActionData piece 2 has an empty name" },
        { L"A=1;A=1", L"CustomActionData piece 2 names an argument an earlier piece named" },
    };
    for (const Row& row : rows) {
        CustomActionArguments arguments = { { L"Kept", L"as it was" } };
        std::wstring refusal;
        EXPECT_FALSE(ParseCustomActionData(row.text, arguments, refusal)) << testing::PrintToString(row.text);
        EXPECT_EQ(std::wstring(row.refusal) + L"; the action is not run", refusal);
        EXPECT_EQ((CustomActionArguments{ { L"Kept", L"as it was" } }), arguments);
    }
}

TEST(CustomActionData, WrittenArgumentsReadBackExactly)
{
    // Values a property may bring: ";" anywhere, runs of it, "=" and pair-like text.
    const CustomActionArguments rows[] = {
        { { L"CmdLine", L"run.exe" }, { L"LogCmdLine", L"yes" } },
        { { L"A", L";" }, { L"B", L";;" }, { L"C", L"x;" }, { L"D", L";x" } },
        { { L"PASSWORD", L"p;SensitiveData=x;y=z" }, { L"$du$action", L"install" } },
        { { L"A", L"" }, { L"B;C", L"=;=" } },
    };
    for (const CustomActionArguments& row : rows) {
        CustomActionArguments read;
        std::wstring refusal;
        EXPECT_TRUE(ParseCustomActionData(CustomActionDataText(row), read, refusal)) << refusal;
        EXPECT_EQ(row, read) << testing::PrintToString(CustomActionDataText(row));
    }
    EXPECT_EQ(L"A=x;;;B=;;;;", CustomActionDataText({ { L"A", L"x;" }, { L"B", L";;" } }));
}
