#pragma once
// Which display a port text reaches, and the turn on it that every program
// holds while it talks to the display.
//
// One display, or one daisy chain of displays, answers on one address or one
// serial line however the user spells it: "127.0.0.66" and "127.66",
// "localhost" and "127.0.0.1", a host name and its address; "COM1", "com1",
// the device COM1 maps to, and a link to that device. Two programs talking to
// one chain at once mix their requests (binary requests go to whichever
// display entered binary mode last), so every lock on a display is keyed on
// its identity, never on the text as typed.
//
// The functions are thread-safe; a DisplayTurn belongs to one thread at a time.

#include <netinet/in.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "common/namedlock.h"
#include <linkio/Channel.h>

namespace linkio {

struct DisplayIdentity {
    PortSpec::Kind kind = PortSpec::kTcp;
    std::string key;    // what locks are named after: the dotted address, "char MAJOR:MINOR", or a path
    std::string name;   // the display in messages: its dotted address or its device path
    in_addr address{};  // kTcp: the address to connect to, so that a connection reaches this display
};

// The identity of a parsed port. LAN: the host looked up once (a dotted
// address is taken as it is); the port plays no part, as the text and the
// binary port of one host lead to one chain. Serial line: the device with
// every link resolved; two paths to one character device are one display
// (compared by device number); a path where no device is is known by its
// canonical form. False with a one-line reason in `error` when a host has no
// IPv4 address.
bool IdentifyDisplay(const PortSpec& port, DisplayIdentity& out, std::string& error);
// The same from a port text as ParsePort reads it ("LAN" host [":" port],
// "COMn" mapped through `settings`, a device path). False with a reason for a
// text that names no port.
bool IdentifyDisplay(std::string_view portText, const std::filesystem::path& settings, DisplayIdentity& out,
                     std::string& error);

// "a.b.c.d".
std::string DottedIpv4(const in_addr& address);

// The name of the cross-process lock that is a display's turn.
std::string DisplayTurnName(const DisplayIdentity& display);
// The name of the LAN binary link's own lock on a host, held for as long as
// a binary connection to it is open: `hostKey` is the address the host was
// found at (a DisplayIdentity's key), or the host's name when it was not.
std::string LanHostLockName(std::string_view hostKey);

// The turn on one display: a cmn::NamedLock named DisplayTurnName, in
// `lockDir`. Released by Release() or when the object dies (or its process).
class DisplayTurn {
public:
    // kHeld: the turn is ours. kBusy: another program kept it for the whole
    // wait. kCancelled: the cancel flag was set while waiting. kError: the lock
    // file cannot be used (something other than a regular file is at its
    // path, the folder is missing); nothing was waited on.
    enum class Result { kHeld, kBusy, kCancelled, kError };
    // One line for the user about the wait (without a program name or line end).
    using Notice = std::function<void(const std::string& text)>;

    explicit DisplayTurn(DisplayIdentity display, const std::filesystem::path& lockDir = cmn::DefaultLockDir());

    // One try; when another program holds the turn, tells `notice` (may be
    // empty) at once "waiting for display NAME: another program is using it",
    // then waits up to timeoutMs, giving up as soon as *cancel (may be null)
    // is non-zero. On time-out it tells "display NAME is busy: another program
    // kept it for N s", on an error "cannot use display NAME: REASON".
    Result Take(int timeoutMs, const int* cancel, const Notice& notice = {});
    // For a LAN display, with the turn held: makes sure that the LAN binary
    // link will get its host lock (LanHostLockName) when it connects, which
    // it takes only after the display was switched to binary mode and could
    // then not switch it back. Waits like Take while another program keeps
    // that lock and tells `notice` the same way; kError when its lock file
    // cannot be used. The host lock is not kept: the link takes it itself.
    // kHeld at once for a serial line, which has no such lock.
    Result CheckHostLock(int timeoutMs, const int* cancel, const Notice& notice = {});
    void Release() { m_lock.Unlock(); }
    bool Held() const { return m_lock.IsHeld(); }
    const DisplayIdentity& Display() const { return m_display; }

private:
    DisplayIdentity m_display;
    std::filesystem::path m_lockDir;
    cmn::NamedLock m_lock;
};

}  // namespace linkio
