#include "common/safeformat.h"

#include <string>

namespace cmn {

namespace {

// Widths beyond this are refused: a format from a file must not make us
// allocate without bound.
constexpr std::size_t kMaxWidth = 4096;

template <typename Char>
void Pad(std::basic_string<Char>& out, std::size_t n, Char c) {
    out.append(n, c);
}

template <typename Char>
std::basic_string<Char> Digits(std::int64_t v) {
    std::uint64_t u = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    std::basic_string<Char> d;
    do {
        d.insert(d.begin(), static_cast<Char>('0' + u % 10));
        u /= 10;
    } while (u);
    return d;
}

template <typename Char, typename Arg>
bool FormatT(std::basic_string<Char>& out, std::basic_string_view<Char> fmt, std::initializer_list<Arg> args) {
    using View = std::basic_string_view<Char>;
    std::basic_string<Char> result;
    auto next = args.begin();
    std::size_t i = 0;
    while (i < fmt.size()) {
        Char c = fmt[i++];
        if (c != '%') {
            result.push_back(c);
            continue;
        }
        if (i < fmt.size() && fmt[i] == '%') {
            result.push_back('%');
            ++i;
            continue;
        }
        bool left = false, zero = false;
        while (i < fmt.size() && (fmt[i] == '-' || fmt[i] == '0')) {
            if (fmt[i] == '-') left = true;
            else zero = true;
            ++i;
        }
        std::size_t width = 0;
        while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
            width = width * 10 + static_cast<std::size_t>(fmt[i] - '0');
            if (width > kMaxWidth) {
                out.clear();
                return false;
            }
            ++i;
        }
        if (i >= fmt.size() || next == args.end()) {
            out.clear();
            return false;
        }
        const Char conv = fmt[i++];
        const Arg& arg = *next++;
        std::basic_string<Char> sign, body;
        if (conv == 'd') {
            const std::int64_t* v = std::get_if<std::int64_t>(&arg);
            if (!v) {
                out.clear();
                return false;
            }
            if (*v < 0) sign.push_back('-');
            body = Digits<Char>(*v);
        } else if (conv == 's') {
            const View* v = std::get_if<View>(&arg);
            if (!v) {
                out.clear();
                return false;
            }
            body.assign(v->begin(), v->end());
        } else {
            out.clear();
            return false;
        }
        const std::size_t len = sign.size() + body.size();
        const std::size_t pad = width > len ? width - len : 0;
        if (left) {
            result += sign;
            result += body;
            Pad(result, pad, static_cast<Char>(' '));
        } else if (zero) {
            result += sign;
            Pad(result, pad, static_cast<Char>('0'));
            result += body;
        } else {
            Pad(result, pad, static_cast<Char>(' '));
            result += sign;
            result += body;
        }
    }
    if (next != args.end()) {
        out.clear();
        return false;
    }
    out = std::move(result);
    return true;
}

}  // namespace

bool SafeFormat(std::string& out, std::string_view fmt, std::initializer_list<FormatArg> args) {
    return FormatT<char, FormatArg>(out, fmt, args);
}

bool SafeFormat(std::u16string& out, std::u16string_view fmt, std::initializer_list<FormatArgW> args) {
    return FormatT<char16_t, FormatArgW>(out, fmt, args);
}

}  // namespace cmn
