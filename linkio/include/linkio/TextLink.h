#pragma once
// One link to a display's text command port over TCP or a serial line: the
// login dialogue (TCP only) and command/reply exchanges with time-outs.
//
// The protocol carries no request numbers, so a reply that comes after its
// request gave up (time-out or cancel) could pass for the answer to the next
// request, and a request cut short on the wire would be glued to the next
// one. After such an attempt the link therefore starts clean:
//  - TCP: the connection is dropped. The next exchange connects again, runs
//    the login dialogue again when the display asked for one at the first
//    connect, and sends the last accepted "IDSL" command again, since the
//    display's selection belongs to the connection.
//  - Serial line: before the next request the link reads and drops input
//    until the line has been quiet for one reply time (a reply later than
//    that cannot be told apart). A request cut short is first ended with a
//    line that the display refuses (CAN CR), so that its start is never
//    taken as part of the next command.
// A connection that the display closed, or a line that failed, stays closed:
// every later exchange returns kClosed.
//
// Whether a display asks for a login is learnt once per process: the first
// open of a TCP link to a display (its address and port, however the host was
// spelled) finds out, and every later link to it, on any thread, goes by what
// was learnt. It is learnt again whenever the display answers otherwise.
//
// A TextLink belongs to one thread at a time (no locking inside); what links
// learn about displays is shared under a lock, so links on several threads
// may open at once.

#include <memory>
#include <string>
#include <string_view>

#include <linkio/Channel.h>
#include <linkio/TextProtocol.h>

namespace linkio {

enum class LinkStatus {
    kOk,
    kRefused,        // the display answered NG (or a reply of the wrong form)
    kTimeout,        // no reply line within the reply time, or the line never fell quiet
    kClosed,         // the connection or line failed or was closed
    kCancelled,      // the caller's cancel flag was set
    kInvalid,        // the command text cannot be sent (too long, not printable ASCII)
    kConnectFailed,  // no connection, or the serial device could not be opened
    kNoPrompt,       // credentials were given but the display asked for none
    kLoginRejected,  // wrong credentials, or an unexpected text in the login dialogue
    kBadValue,       // a number query answered with a value that is not a decimal integer
};

const char* StatusText(LinkStatus s);

struct TextLinkOptions {
    int replyMs = 3000;    // reply time of one command
    int loginMs = 1000;    // time to wait for the login prompt (without credentials: see Open)
    int connectMs = 5000;  // TCP connect time
    int baud = 9600;       // serial lines
    const int* cancel = nullptr;  // read atomically; must outlive the link
};

class TextLink {
public:
    // Connects (TCP: also runs the login dialogue). Null on failure, with the
    // reason in `status` (kConnectFailed, kCancelled, kNoPrompt,
    // kLoginRejected, kTimeout, kClosed) and a message in `error`. The
    // credentials are kept for logging in again after a reconnect.
    // With credentials the prompt is waited for up to loginMs and answered as
    // soon as it comes. Without them it is looked for only briefly (four
    // connect times, at least 50 ms, at most loginMs), and not at all on a
    // display known to send none; a display that asks for a login after all
    // fails the first exchange with kLoginRejected, its prompt never being
    // taken for a reply.
    static std::unique_ptr<TextLink> Open(const PortSpec& port, std::string_view account,
                                          std::string_view password, const TextLinkOptions& options,
                                          LinkStatus& status, std::string& error);

    // Sends one command text followed by CR and reads its reply line.
    // kOk, kInvalid, kTimeout, kCancelled, kClosed; a dropped TCP link that
    // cannot be connected again gives the reason of Open.
    LinkStatus Exchange(std::string_view text, TextReply& reply);

    // The same with the result judged for each kind of call: kRefused for NG
    // or a reply of the other kind, kBadValue for a number query whose value
    // is not a decimal integer.
    LinkStatus SetCommand(std::string_view text);
    LinkStatus QueryString(std::string_view text, std::string& value);
    LinkStatus QueryNumber(std::string_view text, int& value);

private:
    // What a serial line needs before the next request.
    enum class LineState {
        kClean,
        kAwaitQuiet,  // a reply to a request that gave up may still come
        kCutShort,    // the display holds the start of a request
    };

    TextLink(const PortSpec& port, std::string_view account, std::string_view password,
             const TextLinkOptions& options)
        : m_port(port), m_account(account), m_password(password), m_options(options) {}

    // TCP: looks the host up once; every connect goes to that address, and
    // what is learnt about the login is filed under it and the port.
    bool FindDisplay(std::string& error);
    std::unique_ptr<Channel> OpenChannel(std::string& error);

    // Opens the channel; on TCP runs the login dialogue (on a reconnect only
    // when the display asked for one before) and selects the display again.
    LinkStatus Connect(bool reconnect, std::string& error);
    LinkStatus Login(std::string& error);
    // Makes the link fit for the next request (see the top of this file).
    LinkStatus Prepare();
    LinkStatus EndCutShortRequest();
    // One request and its reply on the current channel.
    LinkStatus Transact(std::string_view text, TextReply& reply);
    // Feeds what the display sent on connect to the reply scanner; kLoginRejected
    // when it is a login prompt.
    LinkStatus ScanGreeting();
    // Ends a connection whose display asks for a login it was not given.
    LinkStatus RefuseUnaskedLogin();
    // After a request that gave up with `result`, `sent` of its `size` bytes out.
    void AfterGivingUp(IoResult result, std::size_t sent, std::size_t size);
    // Reads until `done` says the received text is complete, or the deadline passes.
    template <typename Done>
    LinkStatus ReadText(std::string& text, const Deadline& deadline, Done done);

    PortSpec m_port;
    in_addr m_address{};     // TCP: the display's address
    std::string m_displayKey;  // TCP: the display's address and port
    std::string m_account;
    std::string m_password;
    TextLinkOptions m_options;
    std::unique_ptr<Channel> m_channel;  // null while a dropped TCP link waits to reconnect
    bool m_displayAskedForLogin = false;
    // A TCP connection that ran no login dialogue: what the display sent on
    // connect has not been read and may be a login prompt after all.
    bool m_greetingUnread = false;
    int m_connectMs = 0;  // how long the last connect took
    std::string m_selection;  // the last "IDSL" command the display accepted
    LineState m_line = LineState::kClean;
    ReplyScanner m_scanner;
};

}  // namespace linkio
