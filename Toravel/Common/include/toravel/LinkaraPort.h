#pragma once
// The setting programs' view of the Linkara link: one C++ interface over the
// Linkara_* C calls, so that the flows can also run against a recording fake
// (toravel/RecordingLinkara.h, built only into tests and tools).
//
// Thread-safety: none. Every call comes from the dialog thread, as the C calls
// require. Results: true on success, false on failure; nothing throws.

#include <string>
#include <string_view>

namespace toravel {

class ILinkara {
public:
    virtual ~ILinkara() = default;
    // Shows the library's modal connection setting dialog over owner (a
    // QWidget*, may be null). True when new settings were confirmed.
    virtual bool ConnectionSetting(void* owner) = 0;
    // Opens the link with the current settings. True when the link is open.
    virtual bool Open() = 0;
    // Closes the link; harmless when none is open.
    virtual void Close() = 0;
    // Sends a query. True when it was answered; reply then holds the value
    // (at most 259 characters). On failure reply is empty.
    virtual bool GetString(std::u16string_view command, std::u16string& reply) = 0;
    // Sends a command. True when the display accepted it.
    virtual bool SetCommand(std::u16string_view command) = 0;
    // Sends a query whose answer is a number. True on success, with the number in value.
    virtual bool GetNumber(std::u16string_view command, int& value) = 0;
};

// libLinkara.so. Construction calls Linkara_Initialize and destruction
// Linkara_Terminate, so exactly one object may live at a time in a process.
class LinkaraLibrary final : public ILinkara {
public:
    LinkaraLibrary();
    ~LinkaraLibrary() override;
    LinkaraLibrary(const LinkaraLibrary&) = delete;
    LinkaraLibrary& operator=(const LinkaraLibrary&) = delete;

    bool ConnectionSetting(void* owner) override;
    bool Open() override;
    void Close() override;
    bool GetString(std::u16string_view command, std::u16string& reply) override;
    bool SetCommand(std::u16string_view command) override;
    bool GetNumber(std::u16string_view command, int& value) override;
};

}  // namespace toravel
