#include <linkio/TextLink.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>

#include <linkio/Cancel.h>
#include <linkio/DisplayTurn.h>

namespace linkio {

namespace {

// Longest wait for a serial line to fall quiet, in reply times.
constexpr int kQuietLimitInReplyTimes = 3;

// Without credentials the prompt is only looked for, not waited for the whole
// login time: a display with an account sends "Login: " as soon as it accepts,
// so a few connect times (at least 50 ms) tell. A prompt that comes later
// still ends the first exchange as a refused login (see Transact).
constexpr int kPromptGraceMinMs = 50;
constexpr int kPromptGraceConnectTimes = 4;

// What the process has learnt about each display's login, by display key.
// A display is not set up anew between two connections of one run, so the
// first open finds out for every later one; whatever a display does against
// what was learnt is learnt in its place.
enum class LoginHabit { kUnknown, kSilent, kPrompts };

class LoginHabits {
public:
    LoginHabit Recall(const std::string& key) {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_habits.find(key);
        return it == m_habits.end() ? LoginHabit::kUnknown : it->second;
    }
    void Learn(const std::string& key, LoginHabit habit) {
        if (key.empty()) return;
        std::lock_guard<std::mutex> guard(m_lock);
        m_habits[key] = habit;
    }

private:
    std::mutex m_lock;
    std::map<std::string, LoginHabit> m_habits;
};

LoginHabits& Habits() {
    static auto* habits = new LoginHabits;  // lives as long as the process, like its links
    return *habits;
}

bool LooksLikeLoginPrompt(const std::string& pending) {
    return MatchPrompt(pending, "Login:") == PromptMatch::kMatch ||
           MatchPrompt(pending, "Password:") == PromptMatch::kMatch;
}

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
    std::unique_ptr<TextLink> link(new TextLink(port, account, password, options));
    if (port.kind == PortSpec::kTcp && !link->FindDisplay(error)) {
        status = LinkStatus::kConnectFailed;
        return nullptr;
    }
    status = link->Connect(false, error);
    if (status != LinkStatus::kOk) return nullptr;
    return link;
}

bool TextLink::FindDisplay(std::string& error) {
    DisplayIdentity display;
    if (!IdentifyDisplay(m_port, display, error)) return false;
    m_address = display.address;
    m_displayKey = display.key + ":" + std::to_string(m_port.port);
    return true;
}

std::unique_ptr<Channel> TextLink::OpenChannel(std::string& error) {
    if (m_port.kind == PortSpec::kSerial) return OpenSerial(m_port.device, m_options.baud, error);
    return ConnectTcp(m_address, m_port.port, m_port.host + ":" + std::to_string(m_port.port), m_options.connectMs,
                      m_options.cancel, error);
}

LinkStatus TextLink::Connect(bool reconnect, std::string& error) {
    const bool tcp = m_port.kind == PortSpec::kTcp;
    const auto start = Clock::now();
    m_channel = OpenChannel(error);
    m_connectMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    if (!m_channel) return IsCancelled(m_options.cancel) ? LinkStatus::kCancelled : LinkStatus::kConnectFailed;
    LinkStatus s = LinkStatus::kOk;
    // A serial line has no login.
    if (tcp && (!reconnect || m_displayAskedForLogin)) s = Login(error);
    m_greetingUnread = tcp && !m_displayAskedForLogin;
    if (s == LinkStatus::kOk && reconnect && !m_selection.empty()) {
        TextReply reply;
        s = Transact(m_selection, reply);
        if (s == LinkStatus::kOk && reply.kind != TextReply::kOk) s = LinkStatus::kRefused;
        if (s != LinkStatus::kOk) error = "the display refused to be selected again";
    }
    if (s != LinkStatus::kOk) m_channel.reset();
    return s;
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

LinkStatus TextLink::Login(std::string& error) {
    const bool haveCredentials = !m_account.empty() || !m_password.empty();
    auto promptDone = [](std::string_view word) {
        return [word](const std::string& t) { return MatchPrompt(t, word) != PromptMatch::kIncomplete; };
    };

    // A display known to send no prompt is not waited on; should it send one
    // after all, the first exchange reads it (see Transact). With credentials
    // the prompt is always waited for: the display may have been given an
    // account since, and then its prompt comes at once.
    if (!haveCredentials && Habits().Recall(m_displayKey) == LoginHabit::kSilent) return LinkStatus::kOk;
    int promptMs = m_options.loginMs;
    if (!haveCredentials) {
        const long long grace = std::max<long long>(kPromptGraceMinMs,
                                                    static_cast<long long>(m_connectMs) * kPromptGraceConnectTimes);
        promptMs = static_cast<int>(std::min<long long>(grace, m_options.loginMs));
    }
    std::string text;
    LinkStatus s = ReadText(text, Deadline(promptMs), promptDone("Login:"));
    if (s == LinkStatus::kTimeout && text.empty()) {
        Habits().Learn(m_displayKey, LoginHabit::kSilent);
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
    m_displayAskedForLogin = true;
    Habits().Learn(m_displayKey, LoginHabit::kPrompts);

    std::string line = m_account + "\r\n";
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

    line = m_password + "\r\n";
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

LinkStatus TextLink::Exchange(std::string_view text, TextReply& reply) {
    if (!IsValidCommandText(text)) return LinkStatus::kInvalid;
    if (const LinkStatus s = Prepare(); s != LinkStatus::kOk) return s;
    return Transact(text, reply);
}

LinkStatus TextLink::Prepare() {
    if (!m_channel) {
        std::string error;
        if (const LinkStatus s = Connect(true, error); s != LinkStatus::kOk) return s;
    }
    if (m_line == LineState::kCutShort) {
        if (const LinkStatus s = EndCutShortRequest(); s != LinkStatus::kOk) return s;
    }
    if (m_line == LineState::kAwaitQuiet) {
        const IoResult r =
            m_channel->DiscardLateReply(m_options.replyMs, kQuietLimitInReplyTimes, m_options.cancel);
        if (r != IoResult::kOk) return FromIo(r);
        m_line = LineState::kClean;
    }
    return LinkStatus::kOk;
}

LinkStatus TextLink::EndCutShortRequest() {
    // Only a whole line ends the request; otherwise it is sent again next time
    // (a second control character changes nothing).
    const IoResult w = m_channel->Write(kRefusedLine, Deadline(m_options.replyMs), m_options.cancel);
    if (w != IoResult::kOk) return FromIo(w);
    // The display's NG to it is dropped with the wait for quiet.
    m_line = LineState::kAwaitQuiet;
    return LinkStatus::kOk;
}

LinkStatus TextLink::Transact(std::string_view text, TextReply& reply) {
    m_scanner.Reset();
    // Bytes waiting on a new connection are no late reply but what the
    // display sent on connect: a login prompt there is recognised, and the
    // command does not go out to be taken for an account.
    if (m_greetingUnread) {
        m_greetingUnread = false;
        if (const LinkStatus s = ScanGreeting(); s != LinkStatus::kOk) return s;
    } else {
        m_channel->DiscardInput();
    }
    const Deadline deadline(m_options.replyMs);
    std::string request(text);
    request.push_back('\r');
    std::size_t sent = 0;
    if (const IoResult w = m_channel->Write(request, deadline, m_options.cancel, &sent); w != IoResult::kOk) {
        AfterGivingUp(w, sent, request.size());
        return FromIo(w);
    }
    std::uint8_t buf[512];
    while (true) {
        std::size_t got = 0;
        const IoResult r = m_channel->Read(buf, sizeof buf, got, deadline, m_options.cancel);
        if (r != IoResult::kOk) {
            AfterGivingUp(r, sent, request.size());
            return FromIo(r);
        }
        for (std::size_t i = 0; i < got; ++i) {
            if (auto line = m_scanner.Feed(buf[i])) {
                reply = std::move(*line);
                if (reply.kind == TextReply::kOk && IsDisplaySelection(text)) m_selection = std::string(text);
                return LinkStatus::kOk;
            }
        }
        // A display that asks for a login we were not given: it took the
        // command for an account, so the connection is of no further use.
        if (!m_displayAskedForLogin && LooksLikeLoginPrompt(m_scanner.PendingLine())) return RefuseUnaskedLogin();
    }
}

LinkStatus TextLink::ScanGreeting() {
    std::uint8_t buf[512];
    std::size_t got = 0;
    const IoResult r = m_channel->ReadArrived(buf, sizeof buf, got);
    if (r != IoResult::kOk) return FromIo(r);
    // A whole line before any request answers nothing: it is dropped.
    for (std::size_t i = 0; i < got; ++i) (void)m_scanner.Feed(buf[i]);
    return LooksLikeLoginPrompt(m_scanner.PendingLine()) ? RefuseUnaskedLogin() : LinkStatus::kOk;
}

LinkStatus TextLink::RefuseUnaskedLogin() {
    Habits().Learn(m_displayKey, LoginHabit::kPrompts);
    m_channel.reset();
    return LinkStatus::kLoginRejected;
}

void TextLink::AfterGivingUp(IoResult result, std::size_t sent, std::size_t size) {
    // A failed connection or line stays closed; only a wait that ended early leaves the exchange open.
    if (result != IoResult::kTimeout && result != IoResult::kCancelled) return;
    if (m_port.kind == PortSpec::kTcp) {
        m_channel.reset();
        return;
    }
    if (sent == 0) return;  // nothing reached the display
    m_line = sent < size ? LineState::kCutShort : LineState::kAwaitQuiet;
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
