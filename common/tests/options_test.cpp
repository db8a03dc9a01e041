// The command-line tools' option table: both value forms, "--", "-", and
// every way a command line can be wrong.
#include <gtest/gtest.h>

#include "common/options.h"

using namespace cmn;

namespace {

struct Parsed {
    bool ok = false;
    bool flag = false;
    std::string out = "unset", name;
    std::vector<std::string> operands;
    std::string error;
};

Parsed Parse(const std::vector<std::string>& args) {
    Parsed p;
    const std::vector<stOption> table = {
        SwitchOption("--flag", p.flag, "-f"),
        TextOption("--out", p.out),
        TextOption("--name", p.name, OptionValue::MayBeEmpty),
    };
    p.ok = ParseOptions(
        args, table,
        [&](const std::string& operand, std::string& why) {
            if (operand == "bad") {
                why = "bad operand";
                return false;
            }
            p.operands.push_back(operand);
            return true;
        },
        p.error);
    return p;
}

}  // namespace

TEST(Options, BothValueFormsOperandsAndTheEndOfOptions) {
    Parsed p = Parse({"a", "--out=x=y", "-f", "-", "--name", "--out", "--", "--flag", "b"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.flag);
    EXPECT_EQ(p.out, "x=y");
    EXPECT_EQ(p.name, "--out");  // a value is taken as it is
    EXPECT_EQ(p.operands, (std::vector<std::string>{"a", "-", "--flag", "b"}));

    p = Parse({"--out", "later", "--out", "last", "--name="});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.out, "last");
    EXPECT_EQ(p.name, "");
}

TEST(Options, MistakesAreNamed) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--bogus"}, "unknown option \"--bogus\""},
        {{"--bogus=1"}, "unknown option \"--bogus\""},
        {{"-x"}, "unknown option \"-x\""},
        {{"--out"}, "option --out needs a value"},
        {{"--out="}, "option --out needs a non-empty value"},
        {{"--out", ""}, "option --out needs a non-empty value"},
        {{"--flag=yes"}, "option --flag takes no value"},
        {{"bad"}, "bad operand"},
    };
    for (const auto& [args, error] : bad) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok) << args[0];
        EXPECT_EQ(p.error, error);
    }
    EXPECT_EQ(VersionLine("tool"), std::string("tool ") + SuiteVersion() + "\n");
}
