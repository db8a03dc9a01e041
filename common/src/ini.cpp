#include "common/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <optional>
#include <string_view>

#include "common/codepage.h"
#include "common/strutil.h"
#include "common/textfile.h"

namespace cmn {

namespace {

template <typename Char>
using View = std::basic_string_view<Char>;
template <typename Char>
using Str = std::basic_string<Char>;

// ---------------------------------------------------------------------------
// Line model, shared by both faces (Char is char or char16_t).

enum class LineKind { Blank, Comment, Section, Key, Other };

template <typename Char>
struct Line {
    std::size_t begin = 0;  // first unit of the line
    std::size_t end = 0;    // end of the line's text (before CR LF or LF)
    std::size_t next = 0;   // first unit of the following line
    LineKind kind = LineKind::Other;
    View<Char> name;   // section name or key, trimmed
    View<Char> value;  // value of a key line, trimmed, quotes kept
};

template <typename Char>
void Classify(View<Char> text, Line<Char>& line) {
    line.name = {};
    line.value = {};
    const View<Char> content = Trim(text.substr(line.begin, line.end - line.begin));
    if (content.empty()) {
        line.kind = LineKind::Blank;
        return;
    }
    if (content.front() == Char('[')) {
        // "[name]": the last ']' closes the name, so names may hold ']' themselves.
        const std::size_t close = content.rfind(Char(']'));
        if (close != View<Char>::npos && close > 0) {
            line.kind = LineKind::Section;
            line.name = Trim(content.substr(1, close - 1));
            return;
        }
    }
    if (content.front() == Char(';')) {
        line.kind = LineKind::Comment;
        return;
    }
    const std::size_t eq = content.find(Char('='));
    if (eq == View<Char>::npos) {
        line.kind = LineKind::Other;
        return;
    }
    line.kind = LineKind::Key;
    line.name = Trim(content.substr(0, eq));
    line.value = Trim(content.substr(eq + 1));
}

// Walks the lines of a text once, front to back.
template <typename Char>
class LineReader {
public:
    explicit LineReader(View<Char> text) : m_text(text) {}

    bool Next(Line<Char>& line) {
        if (m_pos >= m_text.size()) return false;
        line.begin = m_pos;
        const std::size_t nl = m_text.find(Char('\n'), m_pos);
        std::size_t end = nl == View<Char>::npos ? m_text.size() : nl;
        line.next = nl == View<Char>::npos ? m_text.size() : nl + 1;
        if (end > m_pos && m_text[end - 1] == Char('\r')) --end;
        line.end = end;
        m_pos = line.next;
        Classify(m_text, line);
        return true;
    }

private:
    View<Char> m_text;
    std::size_t m_pos = 0;
};

bool IsCp932Lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Section and key names compare without regard to ASCII case. 8-bit names are
// CP932 text: the second byte of a double-byte character may look like an ASCII
// letter and must not be folded, or two different names would match.
bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        if (IsCp932Lead(x) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (!EqualsNoCase(a.substr(i, 1), b.substr(i, 1))) {
            return false;
        }
    }
    return true;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
    return EqualsNoCase(a, b);
}

template <typename Char>
View<Char> StripQuotes(View<Char> value) {
    if (value.size() >= 2 && value.front() == Char('"') && value.back() == Char('"'))
        return value.substr(1, value.size() - 2);
    return value;
}

// The value of `key` in the first section named `section` (quotes removed), or
// nothing when the section or key is missing. Only the first section of that
// name is searched, and the first matching key in it wins.
template <typename Char>
std::optional<View<Char>> FindValue(View<Char> text, View<Char> section, View<Char> key) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) return std::nullopt;
    LineReader<Char> reader(text);
    Line<Char> line;
    bool inSection = false;
    while (reader.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection) return std::nullopt;
            inSection = NamesEqual(line.name, section);
        } else if (inSection && line.kind == LineKind::Key && NamesEqual(line.name, key)) {
            return StripQuotes(line.value);
        }
    }
    return std::nullopt;
}

template <typename Char>
bool HasLineBreak(View<Char> s) {
    for (Char c : s)
        if (c == Char('\r') || c == Char('\n')) return true;
    return false;
}

// Section, key and value must not break the line structure of the file: no line
// breaks anywhere, no '=' in a key, and a key must not read back as a section
// header or a comment. Names are trimmed (lookups trim them too).
template <typename Char>
bool CheckWriteArgs(View<Char>& section, View<Char>& key, View<Char> value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) return false;
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    if (key.find(Char('=')) != View<Char>::npos) return false;
    if (key.front() == Char('[') || key.front() == Char(';')) return false;
    return true;
}

template <typename Char>
void AppendAscii(Str<Char>& out, std::string_view ascii) {
    for (char c : ascii) out += static_cast<Char>(c);
}

// What must be added after text[0, pos) so that a new line can start there.
template <typename Char>
void AppendLineEndIfMissing(Str<Char>& out, View<Char> text, std::size_t pos) {
    if (pos == 0 || text[pos - 1] == Char('\n')) return;
    AppendAscii(out, text[pos - 1] == Char('\r') ? "\n" : "\r\n");
}

template <typename Char>
void AppendKeyLine(Str<Char>& out, View<Char> key, View<Char> value) {
    out += key;
    out += Char('=');
    out += value;
    AppendAscii(out, "\r\n");
}

// Returns text with `key` of `section` set to `value`; every other line is kept
// as it is. Arguments must have passed CheckWriteArgs.
template <typename Char>
Str<Char> SetValue(View<Char> text, View<Char> section, View<Char> key, View<Char> value) {
    LineReader<Char> reader(text);
    Line<Char> line;
    bool inSection = false;
    bool found = false;
    Line<Char> last;  // the section's last non-blank, non-comment line
    while (reader.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection) break;
            if (NamesEqual(line.name, section)) {
                inSection = found = true;
                last = line;
            }
            continue;
        }
        if (!inSection) continue;
        if (line.kind == LineKind::Key && NamesEqual(line.name, key)) {
            // Update in place; the key keeps the spelling it has in the file.
            Str<Char> out;
            out.reserve(text.size() + value.size() + 2);
            out += text.substr(0, line.begin);
            AppendKeyLine(out, line.name, value);
            out += text.substr(line.next);
            return out;
        }
        if (line.kind == LineKind::Key || line.kind == LineKind::Other) last = line;
    }
    Str<Char> out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    if (found) {
        // New key after the section's last entry, before blank lines and any
        // comments that lead into the next section.
        out += text.substr(0, last.next);
        AppendLineEndIfMissing(out, text, last.next);
        AppendKeyLine(out, key, value);
        out += text.substr(last.next);
        return out;
    }
    out += text;
    AppendLineEndIfMissing(out, text, text.size());
    out += Char('[');
    out += section;
    out += Char(']');
    AppendAscii(out, "\r\n");
    AppendKeyLine(out, key, value);
    return out;
}

// ---------------------------------------------------------------------------
// Files.

enum class ReadStatus { Ok, Missing, Failed };

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::string& out) {
    out.clear();
    // O_NONBLOCK keeps a FIFO from blocking the open; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadStatus::Failed;
    }
    if (st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            out.clear();
            return ReadStatus::Failed;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadStatus::Ok;
}

// Replaces the file atomically (an interrupted write leaves the old file
// intact). A symbolic link at the path is neither written through nor
// replaced: whoever could plant it would choose what we overwrite.
bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return false;
    return WriteFileAtomic(path, bytes);
}

// Read-modify-write of one file is serialised within the process.
std::mutex& WriteMutex() {
    static std::mutex m;
    return m;
}

// ---------------------------------------------------------------------------
// Encodings.

enum class FileForm { Plain, Utf8Bom, Utf16Le };

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

FileForm FormOf(std::string_view bytes) {
    if (bytes.substr(0, 2) == kUtf16LeBom) return FileForm::Utf16Le;
    if (bytes.substr(0, 3) == kUtf8Bom) return FileForm::Utf8Bom;
    return FileForm::Plain;
}

std::u16string DecodeUtf16Le(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (bytes.size() % 2 != 0) out += u'\uFFFD';  // a cut-off last unit
    return out;
}

std::string EncodeUtf16Le(std::u16string_view text) {
    std::string out;
    out.reserve(kUtf16LeBom.size() + text.size() * 2);
    out += kUtf16LeBom;
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

// The text of a file as the UTF-16 face sees it.
std::u16string DecodeWide(std::string_view bytes, FileForm form) {
    switch (form) {
        case FileForm::Utf16Le:
            return DecodeUtf16Le(bytes.substr(kUtf16LeBom.size()));
        case FileForm::Utf8Bom:
            return Utf8ToUtf16(bytes.substr(kUtf8Bom.size()));
        case FileForm::Plain:
            break;
    }
    return IsValidUtf8(bytes) ? Utf8ToUtf16(bytes) : Cp932ToUtf16(bytes);
}

std::string EncodeWide(std::u16string_view text, FileForm form) {
    switch (form) {
        case FileForm::Utf16Le:
            return EncodeUtf16Le(text);
        case FileForm::Utf8Bom:
            return std::string(kUtf8Bom) + Utf16ToUtf8(text);
        case FileForm::Plain:
            break;
    }
    return Utf16ToUtf8(text);
}

int ToIntOr(std::string_view value, int def) {
    return value.empty() ? def : DecimalToInt(value);
}

int ToIntOr(std::u16string_view value, int def) {
    if (value.empty()) return def;
    // Only ASCII can take part in a number; anything else ends it.
    std::string narrow;
    narrow.reserve(value.size());
    for (char16_t u : value) narrow += u < 0x80 ? static_cast<char>(u) : '\x01';
    return DecimalToInt(narrow);
}

// 8-bit face: bytes are matched and returned as they are. A UTF-16 file is
// searched in UTF-16 with the names converted from CP932, and its value is
// converted back, so the file stays readable by both faces.
std::optional<std::string> Lookup8(const std::filesystem::path& file, std::string_view section,
                                   std::string_view key) {
    std::string bytes;
    if (ReadWholeFile(file, bytes) != ReadStatus::Ok) return std::nullopt;
    const FileForm form = FormOf(bytes);
    if (form == FileForm::Utf16Le) {
        const std::u16string text = DecodeWide(bytes, form);
        const std::u16string s = Cp932ToUtf16(section), k = Cp932ToUtf16(key);
        auto v = FindValue<char16_t>(text, s, k);
        if (!v) return std::nullopt;
        return Utf16ToCp932(*v);
    }
    std::string_view text = bytes;
    if (form == FileForm::Utf8Bom) text.remove_prefix(kUtf8Bom.size());
    auto v = FindValue<char>(text, section, key);
    if (!v) return std::nullopt;
    return std::string(*v);
}

std::optional<std::u16string> Lookup16(const std::filesystem::path& file, std::u16string_view section,
                                       std::u16string_view key) {
    std::string bytes;
    if (ReadWholeFile(file, bytes) != ReadStatus::Ok) return std::nullopt;
    const std::u16string text = DecodeWide(bytes, FormOf(bytes));
    auto v = FindValue<char16_t>(text, section, key);
    if (!v) return std::nullopt;
    return std::u16string(*v);
}

bool WriteWide(const std::filesystem::path& file, const std::string& bytes, bool existed,
               std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    if (!CheckWriteArgs(section, key, value)) return false;
    const FileForm form = existed ? FormOf(bytes) : FileForm::Plain;
    const std::u16string text = DecodeWide(bytes, form);
    return ReplaceFile(file, EncodeWide(SetValue<char16_t>(text, section, key, value), form));
}

}  // namespace

std::string IniGetString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                         std::string_view def) {
    auto v = Lookup8(file, section, key);
    return v ? std::move(*v) : std::string(def);
}

int IniGetInt(const std::filesystem::path& file, std::string_view section, std::string_view key, int def) {
    auto v = Lookup8(file, section, key);
    return v ? ToIntOr(*v, def) : def;
}

bool IniWriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value) {
    std::lock_guard<std::mutex> lock(WriteMutex());
    std::string bytes;
    const ReadStatus rs = ReadWholeFile(file, bytes);
    if (rs == ReadStatus::Failed) return false;  // never replace a file we could not read
    const bool existed = rs == ReadStatus::Ok;
    if (existed && FormOf(bytes) == FileForm::Utf16Le)
        return WriteWide(file, bytes, existed, Cp932ToUtf16(section), Cp932ToUtf16(key), Cp932ToUtf16(value));
    if (!CheckWriteArgs(section, key, value)) return false;
    std::string_view text = bytes;
    std::string_view bom;
    if (existed && FormOf(bytes) == FileForm::Utf8Bom) {
        bom = kUtf8Bom;
        text.remove_prefix(kUtf8Bom.size());
    }
    std::string out(bom);
    out += SetValue<char>(text, section, key, value);
    return ReplaceFile(file, out);
}

std::u16string IniGetStringW(const std::filesystem::path& file, std::u16string_view section,
                             std::u16string_view key, std::u16string_view def) {
    auto v = Lookup16(file, section, key);
    return v ? std::move(*v) : std::u16string(def);
}

int IniGetIntW(const std::filesystem::path& file, std::u16string_view section, std::u16string_view key,
               int def) {
    auto v = Lookup16(file, section, key);
    return v ? ToIntOr(*v, def) : def;
}

bool IniWriteStringW(const std::filesystem::path& file, std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) {
    std::lock_guard<std::mutex> lock(WriteMutex());
    std::string bytes;
    const ReadStatus rs = ReadWholeFile(file, bytes);
    if (rs == ReadStatus::Failed) return false;
    return WriteWide(file, bytes, rs == ReadStatus::Ok, section, key, value);
}

}  // namespace cmn
