// The text link against display-sim over TCP and over a pseudo-terminal:
// replies that come after their request gave up, and requests cut short on
// the wire, never become part of another request's exchange.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <linkio/TextLink.h>
#include <testsupport/ScriptedPeer.h>
#include <testsupport/SimProcess.h>

using linkio::LinkStatus;

namespace {

// A line that stalls in the middle of a request, and a caller who gives up on
// it: the next send or write whose bytes start with `prefix` puts out only its
// first `keep` bytes (all of them when keep is larger) and then sets the
// caller's cancel flag. Every other send and write passes through unchanged.
struct StallRule {
    std::atomic<bool> armed{false};
    std::string prefix;
    std::size_t keep = 0;
    int* cancel = nullptr;
} g_stall;

void StallNext(const std::string& prefix, std::size_t keep, int* cancel) {
    g_stall.prefix = prefix;
    g_stall.keep = keep;
    g_stall.cancel = cancel;
    g_stall.armed = true;
}

// True (and disarmed) when this write is the one to stall; `n` is cut to what goes out.
bool TakeStall(const void* data, std::size_t& n) {
    if (!g_stall.armed || n < g_stall.prefix.size() ||
        std::memcmp(data, g_stall.prefix.data(), g_stall.prefix.size()) != 0)
        return false;
    bool expected = true;
    if (!g_stall.armed.compare_exchange_strong(expected, false)) return false;
    if (g_stall.keep < n) n = g_stall.keep;
    return true;
}

void GiveUp() { std::atomic_ref<int>(*g_stall.cancel).store(1); }

}  // namespace

// The link's channel calls these; they stand in for the C library's.
extern "C" ssize_t send(int fd, const void* data, size_t n, int flags) {
    const bool stall = TakeStall(data, n);
    const auto k = static_cast<ssize_t>(::syscall(SYS_sendto, fd, data, n, flags, nullptr, 0));
    if (stall) GiveUp();
    return k;
}

extern "C" ssize_t write(int fd, const void* data, size_t n) {
    const bool stall = TakeStall(data, n);
    const auto k = static_cast<ssize_t>(::syscall(SYS_write, fd, data, n));
    if (stall) GiveUp();
    return k;
}

namespace {

enum class Transport { kTcp, kPty };

std::string Name(const ::testing::TestParamInfo<Transport>& info) {
    return info.param == Transport::kTcp ? "Tcp" : "Pty";
}

// display-sim with `args` on its own loopback address or on a pseudo-terminal.
class Display {
public:
    Display(Transport transport, std::vector<std::string> args) {
        if (transport == Transport::kTcp) {
            args.insert(args.begin(), {"--listen", m_address.Text()});
            m_port.kind = linkio::PortSpec::kTcp;
            m_port.host = m_address.Text();
        } else {
            args.insert(args.begin(), "--serial");
            m_port.kind = linkio::PortSpec::kSerial;
        }
        m_started = (transport == Transport::kPty || !m_address.Text().empty()) && m_sim.Start(args);
        if (m_started && transport == Transport::kPty) m_port.device = m_sim.Line();
    }
    bool Started() const { return m_started; }

    std::unique_ptr<linkio::TextLink> Open(int replyMs, const int* cancel = nullptr, std::string_view account = "",
                                           std::string_view password = "") {
        linkio::TextLinkOptions options;
        options.replyMs = replyMs;
        options.cancel = cancel;
        linkio::LinkStatus status;
        std::string error;
        auto link = linkio::TextLink::Open(m_port, account, password, options, status, error);
        EXPECT_EQ(status, LinkStatus::kOk) << error;
        return link;
    }

private:
    testsupport::LoopbackAddress m_address;
    testsupport::SimProcess m_sim;
    linkio::PortSpec m_port;
    bool m_started = false;
};

class TextLinkOver : public ::testing::TestWithParam<Transport> {};

std::string Query(linkio::TextLink& link, std::string_view text, LinkStatus expected) {
    std::string value;
    EXPECT_EQ(link.QueryString(text, value), expected) << text;
    return value;
}

}  // namespace

// Every reply comes half a reply time after the request has given up: every
// query fails, none ever returns the answer to the one before it.
TEST_P(TextLinkOver, RepliesAfterTheReplyTimeAnswerNothing) {
    Display display(GetParam(), {"--delay", "every:1", "--delay-ms", "1500"});
    ASSERT_TRUE(display.Started());
    auto link = display.Open(1000);
    ASSERT_TRUE(link);
    for (const char* query : {"SRNO????", "INF1????", "SRNO????"})
        EXPECT_EQ(Query(*link, query, LinkStatus::kTimeout), "");
}

// The caller gives up on a query the moment it is on the wire; its reply,
// still coming, is not the answer to the next query.
TEST_P(TextLinkOver, CancelledQueryLeavesNoReplyForTheNext) {
    Display display(GetParam(), {"--delay", "every:1", "--delay-ms", "1500"});
    ASSERT_TRUE(display.Started());
    int cancel = 0;
    auto link = display.Open(2000, &cancel);
    ASSERT_TRUE(link);
    StallNext("SRNO????", 64, &cancel);
    EXPECT_EQ(Query(*link, "SRNO????", LinkStatus::kCancelled), "");
    cancel = 0;
    EXPECT_EQ(Query(*link, "INF1????", LinkStatus::kOk), "QM-X003");
}

// A command cut short on the wire ("IFSN12" of "IFSN12345") is never glued to
// the next one: "IFSN12" + "SRLG0001" would set the serial number.
TEST_P(TextLinkOver, CommandCutShortIsNotGluedToTheNext) {
    Display display(GetParam(), {});
    ASSERT_TRUE(display.Started());
    int cancel = 0;
    auto link = display.Open(1000, &cancel);
    ASSERT_TRUE(link);
    StallNext("IFSN12345", 6, &cancel);
    EXPECT_EQ(link->SetCommand("IFSN12345"), LinkStatus::kCancelled);
    cancel = 0;
    EXPECT_EQ(link->SetCommand("SRLG0001"), LinkStatus::kOk);
    EXPECT_EQ(Query(*link, "SRNO????", LinkStatus::kOk), "QX30001001");
}

INSTANTIATE_TEST_SUITE_P(Transports, TextLinkOver, ::testing::Values(Transport::kTcp, Transport::kPty), Name);

// A reply later than two reply times: the TCP link has moved to a new
// connection, logged in again and selected the same display of the chain, so
// the next query gets its own answer from that display.
TEST(TextLinkOverTcp, ReconnectLogsInAndSelectsTheDisplayAgain) {
    Display display(Transport::kTcp, {"--account", "svc", "--password", "pw", "--chain", "2", "--delay", "every:3",
                                      "--delay-ms", "2500"});
    ASSERT_TRUE(display.Started());
    auto link = display.Open(1000, nullptr, "svc", "pw");
    ASSERT_TRUE(link);
    ASSERT_EQ(link->SetCommand("IDSL2"), LinkStatus::kOk);
    int hours = 0;
    EXPECT_EQ(link->QueryNumber("UTIM????", hours), LinkStatus::kOk);
    EXPECT_EQ(hours, 12347);
    EXPECT_EQ(Query(*link, "INF1????", LinkStatus::kTimeout), "");  // the third reply is late
    EXPECT_EQ(Query(*link, "SRNO????", LinkStatus::kOk), "QX30001003");
}

// Without credentials the open does not wait out the login time; a display
// whose login prompt comes only after the first command fails that command
// as a refused login at once, not by a time-out.
TEST(TextLinkOverTcp, LoginPromptInPlaceOfAReplyIsARefusedLogin) {
    testsupport::LoopbackAddress address;
    testsupport::ScriptedPeer peer(address.Text(), 10008, {"Login: "});
    ASSERT_TRUE(peer.Ok());
    linkio::PortSpec port;
    port.host = address.Text();
    linkio::TextLinkOptions options;
    options.replyMs = 60000;
    LinkStatus status;
    std::string error;
    auto link = linkio::TextLink::Open(port, "", "", options, status, error);
    ASSERT_TRUE(link) << error;
    EXPECT_EQ(link->SetCommand(""), LinkStatus::kLoginRejected);
}

namespace {

// One open of a text link to a scripted display, and the empty command on it.
struct LoginStep {
    const char* greeting;              // what the display sends on connect
    std::vector<std::string> answers;  // its answers, request by request
    const char* account;
    const char* password;
    bool shortHost;                    // the address written as "127.N"
    LinkStatus open;
    LinkStatus command;                // the empty command after a successful open
    std::vector<std::string> requests;  // what the display received
    bool waitsNot;                     // the open looks for no prompt
};

struct LoginCase {
    const char* name;
    std::vector<LoginStep> steps;
};

// Every wait for a prompt without credentials is at least this long.
constexpr auto kShortestPromptWait = std::chrono::milliseconds(50);

const std::vector<std::string> kLoggedIn = {"Password: ", "OK\r\n", "OK\r"};
const std::vector<std::string> kLoginRefused = {"Password: ", "Login incorrect\r\n"};
const std::vector<std::string> kSvcRequests = {"svc\r\n", "pw\r\n", "\r"};

const LoginCase kLoginCases[] = {
    {"NoPrompt",
     {{"", {"OK\r"}, "", "", false, LinkStatus::kOk, LinkStatus::kOk, {"\r"}, false},
      {"", {"OK\r"}, "", "", true, LinkStatus::kOk, LinkStatus::kOk, {"\r"}, true},
      {"", {"OK\r"}, "", "", false, LinkStatus::kOk, LinkStatus::kOk, {"\r"}, true}}},
    {"Prompt",
     {{"Login: ", kLoggedIn, "svc", "pw", false, LinkStatus::kOk, LinkStatus::kOk, kSvcRequests, false},
      {"Login: ", kLoggedIn, "svc", "pw", true, LinkStatus::kOk, LinkStatus::kOk, kSvcRequests, false},
      {"Login: ", kLoginRefused, "", "", false, LinkStatus::kLoginRejected, LinkStatus::kOk, {"\r\n", "\r\n"},
       false}}},
    // A display that now asks for a login: its prompt is recognised in place
    // of the first reply (no command goes out to be taken for an account),
    // and the next open runs the login dialogue.
    {"PromptAppearsLater",
     {{"", {"OK\r"}, "", "", false, LinkStatus::kOk, LinkStatus::kOk, {"\r"}, false},
      {"Login: ", {"Password: "}, "", "", false, LinkStatus::kOk, LinkStatus::kLoginRejected, {}, true},
      {"Login: ", kLoginRefused, "", "", false, LinkStatus::kLoginRejected, LinkStatus::kOk, {"\r\n", "\r\n"},
       false}}},
    // Credentials always wait for the prompt, whatever was learnt.
    {"AccountGivenLater",
     {{"", {"OK\r"}, "", "", false, LinkStatus::kOk, LinkStatus::kOk, {"\r"}, false},
      {"Login: ", kLoggedIn, "svc", "pw", false, LinkStatus::kOk, LinkStatus::kOk, kSvcRequests, false},
      {"Login: ", kLoggedIn, "svc", "pw", true, LinkStatus::kOk, LinkStatus::kOk, kSvcRequests, false}}},
    {"AccountRemovedLater",
     {{"Login: ", kLoggedIn, "svc", "pw", false, LinkStatus::kOk, LinkStatus::kOk, kSvcRequests, false},
      {"", {"OK\r"}, "", "", false, LinkStatus::kOk, LinkStatus::kOk, {"\r"}, false},
      {"", {"OK\r"}, "", "", false, LinkStatus::kOk, LinkStatus::kOk, {"\r"}, true}}},
};

void PrintTo(const LoginCase& c, std::ostream* os) { *os << c.name; }

class LearntLogin : public ::testing::TestWithParam<LoginCase> {};

}  // namespace

// Each case runs on its own address, so what the process learns about one
// display is seen by the later steps of that case only.
TEST_P(LearntLogin, OpensGoByWhatTheFirstLearnt) {
    testsupport::LoopbackAddress address;
    ASSERT_FALSE(address.Text().empty());
    int index = 0;
    for (const LoginStep& step : GetParam().steps) {
        SCOPED_TRACE("step " + std::to_string(++index));
        testsupport::ScriptedPeer peer(address.Text(), 10008, step.answers, step.greeting);
        ASSERT_TRUE(peer.Ok());
        linkio::PortSpec port;
        port.host = step.shortHost ? address.ShortForm() : address.Text();
        linkio::TextLinkOptions options;
        options.replyMs = 2000;
        LinkStatus status;
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        auto link = linkio::TextLink::Open(port, step.account, step.password, options, status, error);
        const auto openTime = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(status, step.open) << error;
        if (step.waitsNot) {
            EXPECT_LT(openTime, kShortestPromptWait);
        }
        // The display has greeted before the command goes out.
        for (const linkio::Deadline greeted(5000); peer.Connections() == 0 && !greeted.Passed();)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (link) {
            EXPECT_EQ(link->SetCommand(""), step.command);
        }
        link.reset();
        EXPECT_EQ(peer.Requests(), step.requests);
    }
}

INSTANTIATE_TEST_SUITE_P(Displays, LearntLogin, ::testing::ValuesIn(kLoginCases),
                         [](const ::testing::TestParamInfo<LoginCase>& info) { return info.param.name; });
