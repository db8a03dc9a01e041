#include "qtsupport/DisplayText.h"

#include <common/codepage.h>

namespace qtsupport {

QString FromCp932(std::string_view bytes) {
    // Most texts are plain ASCII, which reads the same in every code page.
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromStdU16String(cmn::Cp932ToUtf16(bytes));
}

std::string ToCp932(const QString& text) {
    return cmn::Utf16ToCp932(text.toStdU16String());
}

QString FromAnyBytes(std::string_view bytes) {
    if (cmn::IsValidUtf8(bytes)) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return FromCp932(bytes);
}

}  // namespace qtsupport
