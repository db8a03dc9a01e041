#pragma once
// The prompt of tests: records every message and answers from a queue.
// Built only into tests and tools, never into a program.
// Thread-safety: every member may be called from any thread.

#include <mutex>
#include <string>
#include <vector>

#include "common/prompt.h"

namespace cmn {

// Records every message and answers from a queue (default: OK for OK boxes,
// `defaultAnswer` for questions; an OK/Cancel question takes IDOK for a
// default of IDYES or IDOK, else IDCANCEL).
class RecordingPrompt : public IPrompt {
public:
    struct Entry {
        std::string text;
        unsigned type;
        std::string caption;
    };
    int Message(const std::string& text, unsigned type, const std::string& caption) override;
    void QueueAnswer(int answer);
    std::vector<Entry> Entries() const;
    std::vector<std::string> Texts() const;
    void Clear();
    int defaultAnswer = IDNO;

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    std::vector<int> m_answers;
};

}  // namespace cmn
