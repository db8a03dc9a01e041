#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "common/RecordingPrompt.h"
#include "common/prompt.h"

using namespace cmn;

TEST(Prompt, RecorderCapturesAndAnswers) {
    RecordingPrompt rec;
    IPrompt& prompt = rec;
    EXPECT_EQ(prompt.Message("Invalid option format."), IDOK);
    EXPECT_EQ(prompt.Message("Overwrite?", MB_YESNO | MB_ICONQUESTION), IDNO);  // default answer
    rec.QueueAnswer(IDYES);
    EXPECT_EQ(prompt.Message("Again?", MB_YESNO), IDYES);
    EXPECT_EQ(prompt.Message("Go on?", MB_OKCANCEL), IDCANCEL);
    rec.defaultAnswer = IDYES;
    EXPECT_EQ(prompt.Message("Go on?", MB_OKCANCEL), IDOK);
    auto entries = rec.Entries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[1].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(rec.Texts()[0], "Invalid option format.");
}

TEST(Prompt, ConsoleWithoutTerminalAnswersNo) {
    // Standard input from an empty pipe: not a terminal, so questions get the
    // negative answer and the message goes to standard error as one line.
    int in[2];
    ASSERT_EQ(::pipe(in), 0);
    ::close(in[1]);
    int savedIn = ::dup(STDIN_FILENO);
    ::dup2(in[0], STDIN_FILENO);
    testing::internal::CaptureStderr();
    ConsolePrompt console;
    int yn = console.Message("Clear logs?\nSure", MB_YESNO, "");
    int oc = console.Message("Continue", MB_OKCANCEL, "Title");
    int ok = console.Message("Done", MB_OK, "");
    std::string err = testing::internal::GetCapturedStderr();
    ::dup2(savedIn, STDIN_FILENO);
    ::close(savedIn);
    ::close(in[0]);
    EXPECT_EQ(yn, IDNO);
    EXPECT_EQ(oc, IDCANCEL);
    EXPECT_EQ(ok, IDOK);
    EXPECT_EQ(err, "Clear logs? Sure\nTitle: Continue\nDone\n");
}

TEST(Prompt, TerminalQuestionsTakeYesAndNoInAnyCase) {
    const std::vector<std::pair<std::string, bool>> answers = {
        {"y\n", true},         {"YES\n", true},       {"Yes\r\n", true},  {"n\n", false},
        {"No\n", false},       {"\n", false},         {"", false},        {"maybe\nyes\n", true},
        {"ok\nsure\nx\ny?\nnope\ny\n", false},  // five answers that are neither, then no more asking
    };
    for (const auto& [input, yes] : answers) {
        std::istringstream in(input);
        std::FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(AskYesNo("Clear the logs of 127.0.0.5 (QM-X003 QX30001001)?", in, out), yes) << input;
        std::rewind(out);
        char line[128] = {};
        ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
        EXPECT_EQ(std::string(line).rfind("Clear the logs of 127.0.0.5 (QM-X003 QX30001001)? [y/N] ", 0), 0u);
        std::fclose(out);
    }
}
