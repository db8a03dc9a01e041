#include "acquire/Names.h"

#include "common/codepage.h"

namespace acq {

std::string SafeFileName(std::string_view cp932) {
    // Converted first: the second byte of a CP932 character may be "\" (0x5C),
    // which is no separator once the text is UTF-8.
    std::string name = cmn::Cp932ToUtf8(cp932);
    for (char& c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || b < 0x20 || b == 0x7F) c = '_';
    }
    if (name == "." || name == "..") name = "_";
    return name;
}

namespace {
std::string ReportBase(const std::string& decodedModel, const std::string& serial,
                       const std::string& selectedModel) {
    if (decodedModel.empty()) return selectedModel + "_";
    return decodedModel + "_" + serial;
}
}  // namespace

std::string ReportName(const std::string& decodedModel, const std::string& serial,
                       const std::string& selectedModel) {
    return SafeFileName(ReportBase(decodedModel, serial, selectedModel) + ".dat");
}

std::string HtmlName(const std::string& decodedModel, const std::string& serial,
                     const std::string& selectedModel) {
    return SafeFileName(ReportBase(decodedModel, serial, selectedModel) + ".html");
}

std::string ZipName(const std::string& serial) {
    return SafeFileName("LogData_" + serial + ".zip");
}

std::string StampedName(const std::string& name, const std::string& stamp) {
    if (stamp.empty()) return name;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name + "_" + stamp;
    return name.substr(0, dot) + "_" + stamp + name.substr(dot);
}

}  // namespace acq
