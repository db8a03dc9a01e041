#pragma once
// One connection to a display's text command port over TCP or a serial line:
// the login dialogue (TCP only) and command/reply exchanges with time-outs.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <linkio/Channel.h>
#include <linkio/TextProtocol.h>

namespace linkio {

enum class LinkStatus {
    kOk,
    kRefused,        // the display answered NG (or a reply of the wrong form)
    kTimeout,        // no reply line within the reply time
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
    int loginMs = 1000;    // time to wait for the login prompt
    int connectMs = 5000;  // TCP connect time
    int baud = 9600;       // serial lines
    const int* cancel = nullptr;
};

class TextLink {
public:
    // Connects (TCP: also runs the login dialogue). Null on failure, with the
    // reason in `status` and a message in `error`.
    static std::unique_ptr<TextLink> Open(const PortSpec& port, std::string_view account,
                                          std::string_view password, const TextLinkOptions& options,
                                          LinkStatus& status, std::string& error);

    // Sends one command text followed by CR and reads its reply line.
    LinkStatus Exchange(std::string_view text, TextReply& reply);

    // The same with the result judged for each kind of call.
    LinkStatus SetCommand(std::string_view text);
    LinkStatus QueryString(std::string_view text, std::string& value);
    LinkStatus QueryNumber(std::string_view text, int& value);

    Channel& Io() { return *m_channel; }

private:
    TextLink(std::unique_ptr<Channel> channel, const TextLinkOptions& options)
        : m_channel(std::move(channel)), m_options(options) {}
    LinkStatus Login(std::string_view account, std::string_view password, std::string& error);
    // Reads until `done` says the received text is complete, or the deadline passes.
    template <typename Done>
    LinkStatus ReadText(std::string& text, const Deadline& deadline, Done done);

    // Waits (at most until m_lateUntil) for the reply to a request that timed
    // out, so that it is not taken for the answer to the next one.
    LinkStatus SkipLateReply();

    std::unique_ptr<Channel> m_channel;
    // Set when a request timed out: its reply may still come until then.
    std::optional<Clock::time_point> m_lateUntil;
    TextLinkOptions m_options;
    ReplyScanner m_scanner;
};

}  // namespace linkio
