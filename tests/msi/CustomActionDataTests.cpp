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
        // Empty values are named (no property fallback); empty pieces are skipped.
        { L"A=;B=", { { L"A", L"" }, { L"B", L"" } } },
        { L";A=1;;", { { L"A", L"1;" } } },
        { L";;A=1", { { L";A", L"1" } } },
        { L";A=1;;;", { { L"A", L"1;" } } },
        { L"", {} },
        { L";", {} },
        // A piece without "=" names an argument with an empty value.
        { L"Flag;A=1", { { L"Flag", L"" }, { L"A", L"1" } } },
        // A name given twice keeps its first value.
        { L"A=1;A=2", { { L"A", L"1" } } },
        { L"=v", { { L"", L"v" } } },
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, ParseCustomActionData(row.text)) << testing::PrintToString(std::wstring(row.text));
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
    for (const CustomActionArguments& row : rows)
        EXPECT_EQ(row, ParseCustomActionData(CustomActionDataText(row))) << testing::PrintToString(CustomActionDataText(row));
    EXPECT_EQ(L"A=x;;;B=;;;;", CustomActionDataText({ { L"A", L"x;" }, { L"B", L";;" } }));
}
