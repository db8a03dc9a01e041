#include "binary_protocol.h"

#include <algorithm>

namespace dsim {

std::uint8_t FrameSum(const std::uint8_t* bytes, std::size_t size) {
    unsigned s = 0;
    for (std::size_t i = 0; i < size; ++i) s += bytes[i];
    return static_cast<std::uint8_t>((0xFFu - (s & 0xFFu)) & 0xFFu);
}

Bytes EncodeRequest(std::uint8_t cmd, std::span<const std::uint8_t> params) {
    Bytes f = {kFrameStart, cmd, static_cast<std::uint8_t>(params.size() & 0xFF),
               static_cast<std::uint8_t>((params.size() >> 8) & 0xFF)};
    f.insert(f.end(), params.begin(), params.end());
    f.push_back(FrameSum(f.data(), f.size()));
    return f;
}

Bytes EncodeReply(std::uint8_t cmd, std::uint8_t status, std::span<const std::uint8_t> data) {
    const std::size_t l = data.size() + 1;
    Bytes f = {kFrameStart, cmd, static_cast<std::uint8_t>(l & 0xFF), static_cast<std::uint8_t>((l >> 8) & 0xFF),
               status};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(FrameSum(f.data(), f.size()));
    return f;
}

FrameParser::Event FrameParser::Feed(std::uint8_t b) {
    switch (m_state) {
        case State::Start:
            if (b == kFrameStart) {
                m_sum = b;
                m_params.clear();
                m_state = State::Cmd;
            } else if (m_logoutByte && b == kLogoutByte) {
                return Event::Logout;
            }
            return Event::None;
        case State::Cmd:
            m_cmd = b;
            m_sum += b;
            m_state = State::LenLo;
            return Event::None;
        case State::LenLo:
            m_len = b;
            m_sum += b;
            m_state = State::LenHi;
            return Event::None;
        case State::LenHi:
            m_len |= static_cast<std::size_t>(b) << 8;
            m_sum += b;
            if (m_len > kMaxRequestParams) {
                m_params.clear();
                m_discard = m_len + 1;  // the parameter bytes and the checksum
                m_state = State::Discard;
                return Event::None;
            }
            m_params.reserve(m_len);
            m_state = m_len ? State::Params : State::Sum;
            return Event::None;
        case State::Params:
            m_params.push_back(b);
            m_sum += b;
            if (m_params.size() == m_len) m_state = State::Sum;
            return Event::None;
        case State::Discard:
            if (--m_discard > 0) return Event::None;
            m_state = State::Start;
            return Event::Oversize;
        case State::Sum:
            m_state = State::Start;
            return b == static_cast<std::uint8_t>((0xFFu - (m_sum & 0xFFu)) & 0xFFu) ? Event::Frame
                                                                                       : Event::BadChecksum;
    }
    return Event::None;
}

namespace {

unsigned Le16(std::span<const std::uint8_t> p, std::size_t at) { return p[at] | (static_cast<unsigned>(p[at + 1]) << 8); }

Bytes SizeData(std::size_t size) {
    return {static_cast<std::uint8_t>(size & 0xFF), static_cast<std::uint8_t>((size >> 8) & 0xFF)};
}

// offset (2 bytes LE), length (2 bytes LE) within an image.
bool ReadBlock(const Bytes& image, std::span<const std::uint8_t> p, BinaryResult& r) {
    r.block = true;
    if (p.size() != 4) return false;
    const std::size_t offset = Le16(p, 0), length = Le16(p, 2);
    if (length == 0 || length > kBlockSize || offset >= image.size() || length > image.size() - offset) return false;
    r.data.assign(image.begin() + static_cast<std::ptrdiff_t>(offset),
                  image.begin() + static_cast<std::ptrdiff_t>(offset + length));
    return true;
}

}  // namespace

BinaryResult HandleBinaryRequest(Chain& chain, BinaryContext& ctx, std::uint8_t cmd,
                                 std::span<const std::uint8_t> p) {
    BinaryResult r;
    if (cmd == kCmdLeaveBinary) {
        // Accepted in any mode; the parameter names the display (0 = the one wired to the PC).
        const int id = p.empty() ? 0 : p[0];
        if (p.size() > 1) return r;
        if (Display* d = chain.Find(id)) {
            d->binary = false;
            if (ctx.staged.displayId == id) ctx.staged = StagedWrite{};
            r.ok = true;
            r.leftBinary = true;
        }
        return r;
    }
    Display* d = chain.BinaryTarget();
    if (!d) {
        r.block = cmd == kCmdLogBlock || cmd == kCmdNvramBlock || cmd == kCmdWriteBlock;
        return r;
    }
    StagedWrite& s = ctx.staged;
    switch (cmd) {
        case kCmdLogStart:
        case kCmdNvramStart:
            if (!p.empty()) return r;
            r.data = SizeData(cmd == kCmdLogStart ? d->log.size() : d->nvram.size());
            r.ok = true;
            return r;
        case kCmdLogBlock:
            r.ok = ReadBlock(d->log, p, r);
            return r;
        case kCmdNvramBlock:
            r.ok = ReadBlock(d->nvram, p, r);
            return r;
        case kCmdLogEnd:
        case kCmdNvramEnd:
            r.ok = p.empty();
            return r;
        case kCmdWriteStart:
            if (!p.empty()) return r;
            s = StagedWrite{};
            s.active = true;
            s.displayId = d->id;
            s.image = d->nvram;
            s.written.assign(d->nvram.size(), false);
            r.data = SizeData(d->nvram.size());
            r.ok = true;
            return r;
        case kCmdWriteBlock: {
            r.block = true;
            if (!s.active || s.displayId != d->id || p.size() < 3) return r;
            const std::size_t offset = Le16(p, 0);
            if (offset >= s.image.size()) return r;
            // Bytes past the end of the image are padding and are dropped.
            const std::size_t n = std::min(p.size() - 2, s.image.size() - offset);
            std::copy_n(p.begin() + 2, n, s.image.begin() + static_cast<std::ptrdiff_t>(offset));
            std::fill_n(s.written.begin() + static_cast<std::ptrdiff_t>(offset), n, true);
            r.ok = true;
            return r;
        }
        case kCmdWriteEnd:
            if (!p.empty() || !s.active || s.displayId != d->id ||
                !std::all_of(s.written.begin(), s.written.end(), [](bool w) { return w; }))
                return r;
            d->nvram.swap(s.image);
            s = StagedWrite{};
            r.ok = true;
            return r;
        default:
            return r;
    }
}

}  // namespace dsim
