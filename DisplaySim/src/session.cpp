#include "session.h"

#include <cstdio>

namespace dsim {

using Event = dakoral::RequestParser::Event;

std::string Escape(std::string_view s) {
    std::string o;
    for (unsigned char c : s) {
        if (c >= 0x20 && c <= 0x7E && c != '\\' && c != '"') {
            o += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            o += buf;
        }
    }
    return o;
}

bool LineReader::Feed(char c) {
    if (m_done) Clear();
    if (c == '\n') return false;
    if (c == '\r') {
        m_done = true;
        return true;
    }
    if (m_line.size() < m_limit)
        m_line += c;
    else
        m_overflow = true;
    return false;
}

int LoginDialogue::Feed(char c, std::string& prompt, std::string& account) {
    if (m_step == Step::Done || !m_reader.Feed(c)) return 0;
    if (m_step == Step::Account) {
        m_account = m_reader.Line();
        m_step = Step::Password;
        prompt = "Password: ";
        return 0;
    }
    m_step = Step::Done;
    account = m_account;
    const bool ok = !m_reader.Overflow() && m_account == m_config.account && m_reader.Line() == m_config.password;
    return ok ? 1 : -1;
}

TextResult TextExchange(const SessionEnv& env, TextContext& ctx, const std::string& label,
                        const std::string& line, bool overflow, std::vector<Output>& out) {
    env.Note(label + " text \"" + Escape(line) + (overflow ? "...\"" : "\""));
    const FaultDecision fd = env.faults.Next(PortKind::Text);
    const bool commandRefused = env.faults.RefusesCommand(line);
    TextResult r;
    if (fd.refuse || overflow || commandRefused)
        r.reply = "NG";
    else
        r = HandleTextCommand(env.chain, ctx, line);
    if (!fd.drop) {
        Output o;
        if (fd.garbage) o.bytes = env.faults.Garbage(PortKind::Text);
        o.bytes += r.reply + "\r";
        o.delayMs = fd.delayMs;
        out.push_back(std::move(o));
    }
    return r;
}

namespace {

// The size requests that the zero-size faults answer with 0.
bool AnnouncesEmptyImage(const FaultConfig& c, std::uint8_t cmd) {
    if (cmd == dakoral::kLogStart) return c.zeroLogSize;
    return (cmd == dakoral::kNvramStart || cmd == dakoral::kWriteStart) && c.zeroNvramSize;
}

}  // namespace

std::string BinaryTranscriptLine(const std::string& label, const dakoral::RequestParser& parser, Event ev) {
    const Bytes& p = parser.Params();
    char head[16];
    std::snprintf(head, sizeof head, "%02X", parser.Command());
    std::string line = label + " bin " + head;
    if (ev == Event::kBadChecksum) {
        line += " bad-checksum";
    } else if (ev == Event::kOversize) {
        line += " oversize";
    } else {
        line += ' ';
        const std::size_t shown = std::min<std::size_t>(p.size(), 16);
        for (std::size_t i = 0; i < shown; ++i) {
            std::snprintf(head, sizeof head, "%02X", p[i]);
            line += head;
        }
        if (p.size() > shown) line += "...(" + std::to_string(p.size()) + " bytes)";
    }
    return line;
}

BinaryResult BinaryExchange(const SessionEnv& env, BinaryContext& ctx, const std::string& label,
                            const dakoral::RequestParser& parser, Event ev, std::vector<Output>& out) {
    const std::uint8_t cmd = parser.Command();
    env.Note(BinaryTranscriptLine(label, parser, ev));
    const FaultDecision fd = env.faults.Next(PortKind::Binary);
    BinaryResult r;
    if (ev == Event::kFrame && !fd.refuse) r = HandleBinaryRequest(env.chain, ctx, cmd, parser.Params());
    if (r.ok && AnnouncesEmptyImage(env.faults.Config(), cmd)) r.data = {0, 0};
    if (!fd.drop) {
        Bytes frame = ReplyFrame(cmd, r.ok, r.data);
        if (fd.corrupt) frame.back() = static_cast<std::uint8_t>(frame.back() ^ 0x5A);
        Output o;
        if (fd.garbage) o.bytes = env.faults.Garbage(PortKind::Binary);
        o.bytes.append(frame.begin(), frame.end());
        o.delayMs = fd.delayMs;
        out.push_back(std::move(o));
    }
    return r;
}

// ---- the TCP ports -----------------------------------------------------------

PortSession::PortSession(SessionEnv env, std::string label, const LoginConfig* login, std::string accepted,
                         std::string refused)
    : m_env(std::move(env)),
      m_label(std::move(label)),
      m_accepted(std::move(accepted)),
      m_refused(std::move(refused)) {
    if (login) m_login = LoginDialogue(*login);
}

void PortSession::Feed(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) {
    std::size_t i = 0;
    while (i < size && !m_finished && m_login.Active()) FeedLogin(static_cast<char>(data[i++]), out);
    if (i < size && !m_finished) FeedRequests(data + i, size - i, out);
}

void PortSession::FeedLogin(char c, std::vector<Output>& out) {
    std::string prompt, account;
    const int res = m_login.Feed(c, prompt, account);
    if (!prompt.empty()) out.push_back({prompt});
    if (res == 0) return;
    m_env.Note(m_label + " login \"" + Escape(account) + "\"" + (res > 0 ? " accepted" : " refused"));
    if (res > 0) {
        if (!m_accepted.empty()) out.push_back({m_accepted});
        return;
    }
    out.push_back({m_refused, 0, true});
    m_finished = true;
}

TextSession::TextSession(Chain& chain, Faults& faults, TranscriptFn transcript, std::string label,
                         const LoginConfig* login)
    : PortSession({chain, faults, std::move(transcript)}, std::move(label), login, "OK\r\n",
                  "Login incorrect\r\n") {}

void TextSession::FeedRequests(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) {
    for (std::size_t i = 0; i < size; ++i)
        if (m_reader.Feed(static_cast<char>(data[i])))
            TextExchange(m_env, m_ctx, m_label, m_reader.Line(), m_reader.Overflow(), out);
}

// Acceptance is silence; a refusal starts with "User".
BinarySession::BinarySession(Chain& chain, Faults& faults, TranscriptFn transcript, std::string label,
                             const LoginConfig* login)
    : PortSession({chain, faults, std::move(transcript)}, std::move(label), login, "",
                  "User authentication failed.\r\n") {}

void BinarySession::FeedRequests(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) {
    for (std::size_t i = 0; i < size && !m_finished; ++i) {
        const Event ev = m_parser.Feed(data[i]);
        if (ev == Event::kNone) continue;
        if (ev == Event::kLogout) {
            m_env.Note(m_label + " bin logout");
            // An interrupted NVRAM write is dropped with the connection.
            m_ctx.staged = StagedWrite{};
            out.push_back({std::string(1, static_cast<char>(dakoral::kLogoutByte)), 0, true});
            m_finished = true;
            continue;
        }
        const BinaryResult r = BinaryExchange(m_env, m_ctx, m_label, m_parser, ev, out);
        if (r.block && r.ok) ++m_blocks;
        const int limit = m_env.faults.Config().closeAfterBlocks;
        if (limit > 0 && m_blocks >= limit) {
            if (out.empty()) out.push_back({});
            out.back().close = true;
            m_finished = true;
        }
    }
}

// ---- serial line -----------------------------------------------------------

SerialSession::SerialSession(Chain& chain, Faults& faults, TranscriptFn transcript)
    : m_env{chain, faults, std::move(transcript)} {}

void SerialSession::TextLine(const std::string& line, bool overflow, std::vector<Output>& out) {
    const TextResult r = TextExchange(m_env, m_textCtx, "serial", line, overflow, out);
    if (r.enteredBinary) {
        m_binary = true;
        m_parser.Reset();
        m_pendingText.clear();
        m_pendingOverflow = false;
    }
}

void SerialSession::Feed(const std::uint8_t* data, std::size_t size, std::vector<Output>& out) {
    for (std::size_t i = 0; i < size; ++i) {
        if (m_binary)
            FeedBinary(data[i], out);
        else
            FeedText(data[i], out);
    }
}

void SerialSession::FeedText(std::uint8_t b, std::vector<Output>& out) {
    // A frame at the start of a line while the line is in text framing (e.g.
    // a PC leaving a binary mode the display is not in) is passed over whole
    // and not answered: its bytes, which may hold a CR, must neither make a
    // text line of their own nor spoil the next command.
    if (!m_strayFrame.Idle() || (b == dakoral::kFrameStart && m_reader.AtLineStart())) {
        const Event ev = m_strayFrame.Feed(b);
        if (ev != Event::kNone)
            m_env.Note(BinaryTranscriptLine("serial", m_strayFrame, ev) + " unanswered (text framing)");
        return;
    }
    if (m_reader.Feed(static_cast<char>(b))) TextLine(m_reader.Line(), m_reader.Overflow(), out);
}

void SerialSession::FeedBinary(std::uint8_t b, std::vector<Output>& out) {
    if (m_parser.Idle() && b != dakoral::kFrameStart) {
        // Between frames a CR-terminated text line means the PC has gone back
        // to text commands (it does not always leave binary mode first, e.g.
        // after an NVRAM write): answer it as text.
        if (b == '\r') {
            m_binary = false;
            m_reader.Clear();
            const std::string line = m_pendingText;
            const bool overflow = m_pendingOverflow;
            m_pendingText.clear();
            m_pendingOverflow = false;
            TextLine(line, overflow, out);
        } else if (b >= 0x20 && b <= 0x7E) {
            if (m_pendingText.size() < kMaxTextCommand)
                m_pendingText += static_cast<char>(b);
            else
                m_pendingOverflow = true;
        } else if (b != '\n') {
            m_pendingText.clear();
            m_pendingOverflow = false;
        }
        return;
    }
    m_pendingText.clear();
    m_pendingOverflow = false;
    const Event ev = m_parser.Feed(b);
    if (ev == Event::kNone) return;
    const BinaryResult r = BinaryExchange(m_env, m_binCtx, "serial", m_parser, ev, out);
    if (r.leftBinary) m_binary = false;
}

}  // namespace dsim
