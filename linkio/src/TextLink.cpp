#include <linkio/TextLink.h>

namespace linkio {

namespace {

LinkStatus FromIo(IoResult r) {
    switch (r) {
    case IoResult::kOk:
        return LinkStatus::kOk;
    case IoResult::kTimeout:
        return LinkStatus::kTimeout;
    case IoResult::kCancelled:
        return LinkStatus::kCancelled;
    case IoResult::kClosed:
    case IoResult::kError:
        break;
    }
    return LinkStatus::kClosed;
}

}  // namespace

const char* StatusText(LinkStatus s) {
    switch (s) {
    case LinkStatus::kOk:
        return "ok";
    case LinkStatus::kRefused:
        return "refused by the display";
    case LinkStatus::kTimeout:
        return "no reply in time";
    case LinkStatus::kClosed:
        return "connection lost";
    case LinkStatus::kCancelled:
        return "cancelled";
    case LinkStatus::kInvalid:
        return "command text cannot be sent";
    case LinkStatus::kConnectFailed:
        return "cannot connect";
    case LinkStatus::kNoPrompt:
        return "credentials given but the display asked for none";
    case LinkStatus::kLoginRejected:
        return "login rejected";
    case LinkStatus::kBadValue:
        return "the reply is not a number";
    }
    return "unknown";
}

std::unique_ptr<TextLink> TextLink::Open(const PortSpec& port, std::string_view account, std::string_view password,
                                         const TextLinkOptions& options, LinkStatus& status, std::string& error) {
    std::unique_ptr<Channel> channel = port.kind == PortSpec::kTcp
                                           ? ConnectTcp(port.host, port.port, options.connectMs, options.cancel, error)
                                           : OpenSerial(port.device, options.baud, error);
    if (!channel) {
        status = LinkStatus::kConnectFailed;
        return nullptr;
    }
    std::unique_ptr<TextLink> link(new TextLink(std::move(channel), options));
    status = LinkStatus::kOk;
    // A serial line has no login.
    if (port.kind == PortSpec::kTcp) status = link->Login(account, password, error);
    if (status != LinkStatus::kOk) return nullptr;
    return link;
}

template <typename Done>
LinkStatus TextLink::ReadText(std::string& text, const Deadline& deadline, Done done) {
    std::uint8_t buf[256];
    while (!done(text)) {
        std::size_t got = 0;
        const IoResult r = m_channel->Read(buf, sizeof buf, got, deadline, m_options.cancel);
        if (r != IoResult::kOk) return FromIo(r);
        // Nothing a login dialogue sends is this long; stop collecting.
        if (text.size() < kMaxReplyLine) text.append(reinterpret_cast<const char*>(buf), got);
    }
    return LinkStatus::kOk;
}

LinkStatus TextLink::Login(std::string_view account, std::string_view password, std::string& error) {
    const bool haveCredentials = !account.empty() || !password.empty();
    auto promptDone = [](std::string_view word) {
        return [word](const std::string& t) { return MatchPrompt(t, word) != PromptMatch::kIncomplete; };
    };

    std::string text;
    LinkStatus s = ReadText(text, Deadline(m_options.loginMs), promptDone("Login:"));
    if (s == LinkStatus::kTimeout && text.empty()) {
        if (!haveCredentials) return LinkStatus::kOk;  // a display without an account
        error = "an account or password was given, but the display asked for no login";
        return LinkStatus::kNoPrompt;
    }
    if (s != LinkStatus::kOk) {
        error = std::string("login prompt: ") + StatusText(s);
        return s == LinkStatus::kTimeout ? LinkStatus::kLoginRejected : s;
    }
    if (MatchPrompt(text, "Login:") != PromptMatch::kMatch) {
        error = "the display's first text is not a login prompt";
        return LinkStatus::kLoginRejected;
    }

    std::string line = std::string(account) + "\r\n";
    if (auto w = m_channel->Write(line, Deadline(m_options.replyMs), m_options.cancel); w != IoResult::kOk) {
        error = "cannot send the account";
        return FromIo(w);
    }
    text.clear();
    s = ReadText(text, Deadline(m_options.replyMs), promptDone("Password:"));
    if (s != LinkStatus::kOk || MatchPrompt(text, "Password:") != PromptMatch::kMatch) {
        error = "no password prompt after the account";
        return s == LinkStatus::kOk || s == LinkStatus::kTimeout || s == LinkStatus::kClosed
                   ? LinkStatus::kLoginRejected
                   : s;
    }

    line = std::string(password) + "\r\n";
    if (auto w = m_channel->Write(line, Deadline(m_options.replyMs), m_options.cancel); w != IoResult::kOk) {
        error = "cannot send the password";
        return FromIo(w);
    }
    // The answer is one line: "OK" when both match, anything else is a refusal.
    text.clear();
    auto lineDone = [](const std::string& t) {
        std::size_t i = 0;
        while (i < t.size() && (t[i] == '\r' || t[i] == '\n' || t[i] == ' ')) ++i;
        return t.find_first_of("\r\n", i) != std::string::npos;
    };
    s = ReadText(text, Deadline(m_options.replyMs), lineDone);
    if (s == LinkStatus::kCancelled) return s;
    const std::size_t b = text.find_first_not_of("\r\n ");
    const std::string answer =
        b == std::string::npos ? std::string() : text.substr(b, text.find_first_of("\r\n", b) - b);
    if (s != LinkStatus::kOk || answer != "OK") {
        error = answer.empty() ? "no answer to the password" : "login refused: " + answer;
        return LinkStatus::kLoginRejected;
    }
    return LinkStatus::kOk;
}

LinkStatus TextLink::SkipLateReply() {
    const auto until = *m_lateUntil;
    m_lateUntil.reset();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return LinkStatus::kOk;
    const Deadline deadline(static_cast<int>(left));
    m_scanner.Reset();
    std::uint8_t b = 0;
    while (true) {
        std::size_t got = 0;
        // Byte by byte, so that nothing after the late reply is consumed.
        const IoResult r = m_channel->Read(&b, 1, got, deadline, m_options.cancel);
        if (r == IoResult::kTimeout) return LinkStatus::kOk;  // it is lost
        if (r != IoResult::kOk) return FromIo(r);
        if (m_scanner.Feed(b)) return LinkStatus::kOk;
    }
}

LinkStatus TextLink::Exchange(std::string_view text, TextReply& reply) {
    if (!IsValidCommandText(text)) return LinkStatus::kInvalid;
    if (m_lateUntil) {
        if (const LinkStatus s = SkipLateReply(); s != LinkStatus::kOk) return s;
    }
    m_channel->DiscardInput();
    m_scanner.Reset();
    const Deadline deadline(m_options.replyMs);
    std::string request(text);
    request.push_back('\r');
    if (auto w = m_channel->Write(request, deadline, m_options.cancel); w != IoResult::kOk) return FromIo(w);
    std::uint8_t buf[512];
    while (true) {
        std::size_t got = 0;
        const IoResult r = m_channel->Read(buf, sizeof buf, got, deadline, m_options.cancel);
        if (r == IoResult::kTimeout)
            m_lateUntil = Clock::now() + std::chrono::milliseconds(m_options.replyMs);
        if (r != IoResult::kOk) return FromIo(r);
        for (std::size_t i = 0; i < got; ++i) {
            if (auto line = m_scanner.Feed(buf[i])) {
                reply = std::move(*line);
                return LinkStatus::kOk;
            }
        }
    }
}

LinkStatus TextLink::SetCommand(std::string_view text) {
    TextReply reply;
    const LinkStatus s = Exchange(text, reply);
    if (s != LinkStatus::kOk) return s;
    return reply.kind == TextReply::kOk ? LinkStatus::kOk : LinkStatus::kRefused;
}

LinkStatus TextLink::QueryString(std::string_view text, std::string& value) {
    TextReply reply;
    const LinkStatus s = Exchange(text, reply);
    if (s != LinkStatus::kOk) return s;
    if (reply.kind != TextReply::kValue) return LinkStatus::kRefused;
    value = std::move(reply.value);
    return LinkStatus::kOk;
}

LinkStatus TextLink::QueryNumber(std::string_view text, int& value) {
    std::string s;
    const LinkStatus r = QueryString(text, s);
    if (r != LinkStatus::kOk) return r;
    const auto v = ParseDecimalValue(s);
    if (!v) return LinkStatus::kBadValue;
    value = *v;
    return LinkStatus::kOk;
}

}  // namespace linkio
