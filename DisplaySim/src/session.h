#pragma once
// Connection sessions: byte streams in, reply chunks out. They hold no socket;
// the server feeds them what arrives and sends what they return. The text and
// binary ports share the login dialogue (PortSession); every session shares
// the request exchanges below.

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

// What every session works with: the displays, the fault plan and the
// transcript (may be empty).
struct SessionEnv {
    Chain& chain;
    Faults& faults;
    TranscriptFn transcript;

    void Note(const std::string& line) const {
        if (transcript) transcript(line);
    }
};

// A connection's session. Not thread-safe: the server runs every session on
// its one thread.
class Session {
public:
    virtual ~Session() = default;
    virtual void Feed(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) = 0;
};

// A TCP port's session: the login dialogue, when the port runs one, then the
// port's own requests until the session finishes (the connection is to close).
class PortSession : public Session {
public:
    // What to send on connect: "Login: " when a dialogue is to run.
    std::string Greeting() const { return m_login.Active() ? "Login: " : ""; }
    bool Finished() const { return m_finished; }
    void Feed(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) final;

protected:
    // `accepted` and `refused` are what the port sends when the dialogue ends
    // with a match (nothing when empty) or a mismatch (then it closes).
    PortSession(SessionEnv env, std::string label, const LoginConfig* login, std::string accepted,
                std::string refused);
    // The bytes after the dialogue; stops at the byte that finishes the session.
    virtual void FeedRequests(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) = 0;

    SessionEnv m_env;
    std::string m_label;
    bool m_finished = false;

private:
    void FeedLogin(char c, std::vector<Output>& out);

    LoginDialogue m_login;
    std::string m_accepted;
    std::string m_refused;
};

class TextSession : public PortSession {
public:
    TextSession(Chain& chain, Faults& faults, TranscriptFn transcript, std::string label,
                const LoginConfig* login);

private:
    void FeedRequests(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) override;

    LineReader m_reader{kMaxTextCommand};
    TextContext m_ctx;
};

class BinarySession : public PortSession {
public:
    BinarySession(Chain& chain, Faults& faults, TranscriptFn transcript, std::string label,
                  const LoginConfig* login);

private:
    void FeedRequests(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) override;

    dakoral::RequestParser m_parser{kMaxRequestParams, true};
    BinaryContext m_ctx;
    int m_blocks = 0;
};

// One serial line carrying text commands and, while the display is in binary
// mode, binary frames.
class SerialSession : public Session {
public:
    SerialSession(Chain& chain, Faults& faults, TranscriptFn transcript);
    void Feed(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) override;
    bool BinaryFraming() const { return m_binary; }

private:
    void FeedText(std::uint8_t b, std::vector<Output>& out);
    void FeedBinary(std::uint8_t b, std::vector<Output>& out);
    void TextLine(const std::string& line, bool overflow, std::vector<Output>& out);

    SessionEnv m_env;
    LineReader m_reader{kMaxTextCommand};
    dakoral::RequestParser m_parser{kMaxRequestParams, false};
    dakoral::RequestParser m_strayFrame{kMaxRequestParams,
                                        false};  // a frame sent while the line is in text framing
    TextContext m_textCtx;
    BinaryContext m_binCtx;
    bool m_binary = false;
    std::string m_pendingText;  // printable bytes seen between frames
    bool m_pendingOverflow = false;
};

// One request and its reply, with the transcript line and the faults: shared
// by the sessions.
std::string BinaryTranscriptLine(const std::string& label, const dakoral::RequestParser& parser,
                                 dakoral::RequestParser::Event ev);
TextResult TextExchange(const SessionEnv& env, TextContext& ctx, const std::string& label,
                        const std::string& line, bool overflow, std::vector<Output>& out);
BinaryResult BinaryExchange(const SessionEnv& env, BinaryContext& ctx, const std::string& label,
                            const dakoral::RequestParser& parser, dakoral::RequestParser::Event ev,
                            std::vector<Output>& out);

}  // namespace dsim
