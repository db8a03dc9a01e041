// The command-line tools' option table: both value forms, "--", "-", and
// every way a command line can be wrong; what a program whose other words are
// not options does not take for --help or --version.
#include <gtest/gtest.h>

#include "common/options.h"

using namespace cmn;

TEST(Options, FormsAndMistakes) {
    bool flag = false;
    std::string out, name, store = "unset", error;
    std::vector<std::string> operands;
    const std::vector<stOption> table = {SwitchOption("--flag", flag, "-f"), TextOption("--out", out),
                                         TextOption("--name", name, OptionValue::MayBeEmpty),
                                         TextOption("--store", store, OptionValue::Optional)};
    const auto parse = [&](const std::vector<std::string>& args) {
        operands.clear();
        error.clear();
        return ParseOptions(args, table, [&](const std::string& o, std::string&) {
            operands.push_back(o);
            return true;
        }, error);
    };
    ASSERT_TRUE(parse({"a", "--out=x=y", "-f", "-", "--name", "--out", "--", "--flag", "b"})) << error;
    EXPECT_TRUE(flag);
    EXPECT_EQ(out, "x=y");
    EXPECT_EQ(name, "--out");  // a value is taken as it is
    EXPECT_EQ(operands, (std::vector<std::string>{"a", "-", "--flag", "b"}));
    ASSERT_TRUE(parse({"--name="})) << error;
    EXPECT_EQ(name, "");
    // An optional value comes only after "=": the next word stays an operand.
    ASSERT_TRUE(parse({"--store", "c"})) << error;
    EXPECT_EQ(store, "");
    EXPECT_EQ(operands, (std::vector<std::string>{"c"}));
    ASSERT_TRUE(parse({"--store=s.db"})) << error;
    EXPECT_EQ(store, "s.db");

    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--bogus=1"}, "unknown option \"--bogus\""},
        {{"-x"}, "unknown option \"-x\""},
        {{"--out"}, "option --out needs a value"},
        {{"--out="}, "option --out needs a non-empty value"},
        {{"--flag=yes"}, "option --flag takes no value"},
        {{"--store="}, "option --store= needs a non-empty value"},
    };
    for (const auto& [args, reason] : bad) {
        EXPECT_FALSE(parse(args)) << args[0];
        EXPECT_EQ(error, reason);
    }
}

// What the programs answer is tested through them (--help and --version alone,
// and among positional words); here what is not theirs to answer.
TEST(Options, InfoOptionAnswersNothingElse) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--"}, {"--version=1"}, {"--help", "x"}, {}})
        EXPECT_FALSE(AnswerInfoOption(args, "prog", "help text", stdout)) << ::testing::PrintToString(args);
    EXPECT_FALSE(AnswerInfoOption({"--help"}, "prog", nullptr, stdout));  // a program without a help text
}
