#pragma once
// Connection sessions: byte streams in, reply chunks out. They hold no socket;
// the server feeds them what arrives and sends what they return.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "binary_protocol.h"
#include "faults.h"
#include "text_protocol.h"

namespace dsim {

struct Output {
    std::string bytes;
    int delayMs = 0;
    bool close = false;  // close the connection once these bytes are sent
};

using TranscriptFn = std::function<void(const std::string&)>;

struct LoginConfig {
    std::string account;
    std::string password;
};

// Longest login line kept (longer ones still end at CR and fail to match).
inline constexpr std::size_t kMaxLoginLine = 256;

// Transcript text of a byte string: printable ASCII as it is, others as \xNN.
std::string Escape(std::string_view s);

// Reads CR-terminated lines; LF bytes are ignored so CR LF works too.
class LineReader {
public:
    explicit LineReader(std::size_t limit) : m_limit(limit) {}
    // Feeds one byte; true when a line is complete (then Line()/Overflow()).
    bool Feed(char c);
    const std::string& Line() const { return m_line; }
    bool Overflow() const { return m_overflow; }
    void Clear() { m_line.clear(); m_overflow = false; m_done = false; }
    // True before the first byte of a line.
    bool AtLineStart() const { return m_done || (m_line.empty() && !m_overflow); }

private:
    std::size_t m_limit;
    std::string m_line;
    bool m_overflow = false;
    bool m_done = false;
};

// Login dialogue shared by the text and binary ports: "Login: ", account,
// "Password: ", password.
class LoginDialogue {
public:
    enum class Step { Account, Password, Done };
    LoginDialogue() = default;
    explicit LoginDialogue(const LoginConfig& c) : m_config(c), m_step(Step::Account) {}
    bool Active() const { return m_step != Step::Done; }
    // Feeds one byte. Returns 0 while waiting, 1 when the password line ends
    // with a match, -1 with a mismatch; `prompt` receives a prompt to send.
    int Feed(char c, std::string& prompt, std::string& account);

private:
    LoginConfig m_config;
    Step m_step = Step::Done;
    LineReader m_reader{kMaxLoginLine};
    std::string m_account;
};

class TextSession {
public:
    TextSession(Chain& chain, Faults& faults, TranscriptFn transcript, std::string label, const LoginConfig* login);
    std::string Greeting() const;
    void Feed(const std::uint8_t* data, std::size_t size, std::vector<Output>& out);
    bool Finished() const { return m_finished; }

private:
    Chain& m_chain;
    Faults& m_faults;
    TranscriptFn m_transcript;
    std::string m_label;
    LoginDialogue m_login;
    LineReader m_reader{kMaxTextCommand};
    TextContext m_ctx;
    bool m_finished = false;
};

class BinarySession {
public:
    BinarySession(Chain& chain, Faults& faults, TranscriptFn transcript, std::string label, const LoginConfig* login);
    std::string Greeting() const;
    void Feed(const std::uint8_t* data, std::size_t size, std::vector<Output>& out);
    bool Finished() const { return m_finished; }

private:
    Chain& m_chain;
    Faults& m_faults;
    TranscriptFn m_transcript;
    std::string m_label;
    LoginDialogue m_login;
    dakoral::RequestParser m_parser{kMaxRequestParams, true};
    BinaryContext m_ctx;
    int m_blocks = 0;
    bool m_finished = false;
};

// One serial line carrying text commands and, while the display is in binary
// mode, binary frames.
class SerialSession {
public:
    SerialSession(Chain& chain, Faults& faults, TranscriptFn transcript);
    void Feed(const std::uint8_t* data, std::size_t size, std::vector<Output>& out);
    bool BinaryFraming() const { return m_binary; }

private:
    void TextLine(const std::string& line, bool overflow, std::vector<Output>& out);
    Chain& m_chain;
    Faults& m_faults;
    TranscriptFn m_transcript;
    LineReader m_reader{kMaxTextCommand};
    dakoral::RequestParser m_parser{kMaxRequestParams, false};
    dakoral::RequestParser m_strayFrame{kMaxRequestParams, false};  // a frame sent while the line is in text framing
    TextContext m_textCtx;
    BinaryContext m_binCtx;
    bool m_binary = false;
    std::string m_pendingText;  // printable bytes seen between frames
    bool m_pendingOverflow = false;
};

// Building blocks shared by the sessions.
std::string BinaryTranscriptLine(const std::string& label, const dakoral::RequestParser& parser, dakoral::RequestParser::Event ev);
TextResult TextExchange(Chain& chain, Faults& faults, TextContext& ctx, const TranscriptFn& transcript,
                         const std::string& label, const std::string& line, bool overflow, std::vector<Output>& out);
BinaryResult BinaryExchange(Chain& chain, Faults& faults, BinaryContext& ctx, const TranscriptFn& transcript,
                            const std::string& label, const dakoral::RequestParser& parser, dakoral::RequestParser::Event ev,
                            std::vector<Output>& out);

}  // namespace dsim
