#include "log_image.h"

#include "logimage/LogImage.h"

namespace dsim {

bool ClearLogGroups(Bytes& image, std::string& error) {
    logimage::LogLayout L;
    if (!logimage::LocateLog(image, L, error)) return false;
    Bytes out(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(L.groupOffsets[0]));
    out.insert(out.end(), cmn::loglayout::kGroupCount * cmn::loglayout::kRecordCountSize, 0);
    out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(L.temperatureOffset), image.end());
    logimage::SetCheckValue(out);
    image.swap(out);
    return true;
}

bool RewriteLogIdentity(Bytes& image, std::string_view model, std::string_view serial, std::string& error) {
    if (model.size() > kMaxIdentityLength || serial.size() > kMaxIdentityLength) {
        error = "model name or serial number longer than 15 bytes";
        return false;
    }
    logimage::LogLayout L;
    if (!logimage::LocateLog(image, L, error)) return false;
    Bytes out(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cmn::loglayout::kModelOffset));
    out.insert(out.end(), model.begin(), model.end());
    out.push_back(0);
    out.insert(out.end(), serial.begin(), serial.end());
    out.push_back(0);
    out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(L.entryCountOffset), image.end());
    if (out.size() > kMaxImageSize) {
        error = "log image would exceed 65535 bytes";
        return false;
    }
    logimage::SetCheckValue(out);
    image.swap(out);
    return true;
}

Bytes BuildDefaultLog(const Display& d) {
    // A display with abnormal events in all three abnormal groups, carrying
    // this display's identity, clock, usage time and ID.
    logimage::LogDescription desc = logimage::AbnormalDisplay();
    desc.model = d.model.substr(0, kMaxIdentityLength);
    desc.serial = d.serial.substr(0, kMaxIdentityLength);
    const std::string clock = SecondsToDigits12(d.ClockNow());
    auto two = [&](int i) { return static_cast<std::uint8_t>((clock[2 * i] - '0') * 10 + clock[2 * i + 1] - '0'); };
    desc.clock = logimage::DisplayClock{two(0), two(1), two(2), two(3), two(4), two(5)};
    desc.usageTime = d.usageHours;
    desc.displayId = static_cast<std::uint8_t>(d.id);
    return logimage::BuildLog(desc);
}

}  // namespace dsim
