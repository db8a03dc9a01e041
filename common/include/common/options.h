#pragma once
// The options of the command-line tools: a table of names, whether each takes
// a value, and what it does with it. "--name value" and "--name=value" mean
// the same; a value is taken as it is, also when it starts with "-"; "--"
// ends the options; "-" and every word that does not start with "-" are
// operands, in order.
// Thread-safety: ParseOptions touches only what its handlers touch.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace cmn {

// Exit status of a command-line tool given a command line it does not understand.
constexpr int kExitUsage = 64;

enum class OptionValue {
    None,        // a switch: "--name" alone
    Required,    // "--name VALUE", VALUE not empty
    MayBeEmpty,  // "--name VALUE", VALUE possibly empty
    Optional,    // "--name" alone (the handler gets ""), or "--name=VALUE", VALUE not
                 // empty; the word after "--name" is never taken as its value
};

struct stOption {
    std::string name;   // "--html"
    std::string alias;  // "-h", or empty
    OptionValue value = OptionValue::None;
    // Takes the value (empty for a switch); false with a one-line reason in `error`.
    std::function<bool(const std::string& value, std::string& error)> apply;
};

// A switch that sets `target`.
stOption SwitchOption(std::string name, bool& target, std::string alias = {});
// An option whose value is stored in `target` as it is.
stOption TextOption(std::string name, std::string& target, OptionValue value = OptionValue::Required);

// Runs through `args` (without the program name), calling each option's
// handler and `operand` for each operand. False with a one-line reason for an
// unknown option, a missing or empty value, a value given to a switch, or a
// handler's refusal.
bool ParseOptions(const std::vector<std::string>& args, const std::vector<stOption>& table,
                  const std::function<bool(const std::string& operand, std::string& error)>& operand,
                  std::string& error);

// For a program whose command line belongs to something else (the report
// program's positional words, Qt's options): answers --version, and --help
// when `help` is given, when one of them is the whole command line `args`
// (without the program name). True when it answered; the text went to `out`.
bool AnswerInfoOption(const std::vector<std::string>& args, const std::string& program, const char* help,
                      std::FILE* out);

// The version of this build ("0.1.0").
const char* SuiteVersion();
// "quendra-log 0.1.0" and a line end: what --version prints.
std::string VersionLine(const std::string& program);

}  // namespace cmn
