#include "common/options.h"

#include <algorithm>

namespace cmn {

namespace {

const stOption* Find(const std::vector<stOption>& table, const std::string& name) {
    const auto it = std::find_if(table.begin(), table.end(), [&](const stOption& o) {
        return o.name == name || (!o.alias.empty() && o.alias == name);
    });
    return it == table.end() ? nullptr : &*it;
}

}  // namespace

stOption SwitchOption(std::string name, bool& target, std::string alias) {
    return {std::move(name), std::move(alias), OptionValue::None, [&target](const std::string&, std::string&) {
                target = true;
                return true;
            }};
}

stOption TextOption(std::string name, std::string& target, OptionValue value) {
    return {std::move(name), {}, value, [&target](const std::string& v, std::string&) {
                target = v;
                return true;
            }};
}

bool ParseOptions(const std::vector<std::string>& args, const std::vector<stOption>& table,
                  const std::function<bool(const std::string& operand, std::string& error)>& operand,
                  std::string& error) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            if (!operand(arg, error)) return false;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const stOption* option = Find(table, name);
        if (option == nullptr) {
            error = "unknown option \"" + name + "\"";
            return false;
        }
        std::string value;
        if (option->value == OptionValue::None) {
            if (equals != std::string::npos) {
                error = "option " + name + " takes no value";
                return false;
            }
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            if (option->value == OptionValue::Optional && value.empty()) {
                error = "option " + name + "= needs a non-empty value";
                return false;
            }
        } else if (option->value == OptionValue::Optional) {
            // Given alone: the handler gets the empty value.
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = "option " + name + " needs a value";
            return false;
        }
        if (option->value == OptionValue::Required && value.empty()) {
            error = "option " + name + " needs a non-empty value";
            return false;
        }
        if (!option->apply(value, error)) return false;
    }
    return true;
}

bool AnswerInfoOption(const std::vector<std::string>& args, const std::string& program, const char* help,
                      std::FILE* out) {
    if (args.size() != 1) return false;
    bool wantsHelp = false, wantsVersion = false;
    std::vector<stOption> table = {SwitchOption("--version", wantsVersion)};
    if (help != nullptr) table.push_back(SwitchOption("--help", wantsHelp));
    const auto noOperands = [](const std::string&, std::string&) { return false; };
    std::string error;
    if (!ParseOptions(args, table, noOperands, error) || !(wantsHelp || wantsVersion)) return false;  // "--" alone
    std::fputs(wantsHelp ? help : VersionLine(program).c_str(), out);
    std::fflush(out);
    return true;
}

const char* SuiteVersion() { return QUENDRA_SUITE_VERSION; }

std::string VersionLine(const std::string& program) { return program + " " + SuiteVersion() + "\n"; }

}  // namespace cmn
