#include "binary_protocol.h"

#include <algorithm>

namespace dsim {

Bytes ReplyFrame(std::uint8_t cmd, bool accepted, std::span<const std::uint8_t> data) {
    Bytes frame;
    if (!accepted) data = {};
    // Reply data is an image block or a size: far below the frame's limit.
    dakoral::BuildReply(cmd, accepted ? dakoral::kStatusAccepted : dakoral::kStatusRefused, data.data(),
                        data.size(), frame);
    return frame;
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
    if (cmd == dakoral::kLeaveBinary) {
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
        r.block = cmd == dakoral::kLogBlock || cmd == dakoral::kNvramBlock || cmd == dakoral::kWriteBlock;
        return r;
    }
    StagedWrite& s = ctx.staged;
    switch (cmd) {
        case dakoral::kLogStart:
        case dakoral::kNvramStart:
            if (!p.empty()) return r;
            r.data = SizeData(cmd == dakoral::kLogStart ? d->log.size() : d->nvram.size());
            r.ok = true;
            return r;
        case dakoral::kLogBlock:
            r.ok = ReadBlock(d->log, p, r);
            return r;
        case dakoral::kNvramBlock:
            r.ok = ReadBlock(d->nvram, p, r);
            return r;
        case dakoral::kLogEnd:
        case dakoral::kNvramEnd:
            r.ok = p.empty();
            return r;
        case dakoral::kWriteStart:
            if (!p.empty()) return r;
            s = StagedWrite{};
            s.active = true;
            s.displayId = d->id;
            s.image = d->nvram;
            s.written.assign(d->nvram.size(), false);
            r.data = SizeData(d->nvram.size());
            r.ok = true;
            return r;
        case dakoral::kWriteBlock: {
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
        case dakoral::kWriteEnd:
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
