#pragma once
// The one-value tool without its window: the read functions 0-4 and the write
// flow, each one exchange (open, commands, close) over the link. The write
// result is shown through the prompt when "USE_WRITE_MSG" is non-zero.
//
// Thread-safety: none; one object belongs to the dialog thread.

#include <array>
#include <string>
#include <vector>

#include <common/prompt.h>
#include <toravel/LinkaraPort.h>

#include "pelmark/Settings.h"

namespace pelmark {

struct ReadResult {
    std::u16string readText;                        // the read box
    std::array<std::u16string, kValueRows> values;  // the usage time rows (read function 4)
};

class PelmarkTool {
public:
    PelmarkTool(Settings settings, toravel::ILinkara& link, cmn::IPrompt& prompt);

    const Settings& GetSettings() const { return m_settings; }
    void ConnectionSetting(void* owner);

    // By "READ_FUNCNUM": 1 the query "READ_CMD" + "????"; 2 the ";" list of
    // "READ_CMD" as commands; 3 "READ_CMD" as it is as the query; 4 the first
    // four words of "READ_CMD" as queries, each reply in its own row (a failed
    // query leaves its row empty); any other value 1 without "READ_BTN", 2
    // with it. A failed open or query leaves the texts empty; nothing is shown.
    ReadResult Read();

    // With "WRITE_BTN" set, the ";" list of "WRITE_CMD" up to the first
    // refusal; otherwise "WRITE_CMD" followed by writeText. True when every
    // command was accepted; a link that does not open is a failed write.
    // A command holding a character the display cannot receive (outside
    // printable ASCII) refuses the write before the link opens: an error box
    // names the character (whatever "USE_WRITE_MSG" says) and nothing is sent.
    bool Write(std::u16string_view writeText);

private:
    std::u16string Query(const std::u16string& command);
    bool SendAll(const std::vector<std::u16string_view>& commands, bool stopAtFailure);
    bool Sendable(const std::vector<std::u16string_view>& commands);
    void ReadUsageRows(ReadResult& result);
    void ShowWriteResult(bool ok);

    Settings m_settings;
    toravel::ILinkara& m_link;
    cmn::IPrompt& m_prompt;
};

}  // namespace pelmark
