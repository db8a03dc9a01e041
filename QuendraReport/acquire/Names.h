#pragma once
// File names made from display data, safe for the file system: the text is
// converted from CP932 to UTF-8, then "/", "\", bytes below 0x20 and 0x7F
// become "_", and a name "." or ".." becomes "_". Ordinary names come out
// unchanged.
// Pure functions: safe from any thread.

#include <string>
#include <string_view>

namespace acq {

std::string SafeFileName(std::string_view cp932);

// Report name: model + "_" + serial + ".dat"; with an empty decoded model,
// the selected model + "_" + ".dat".
std::string ReportName(const std::string& decodedModel, const std::string& serial,
                       const std::string& selectedModel);
// The same with ".html".
std::string HtmlName(const std::string& decodedModel, const std::string& serial,
                     const std::string& selectedModel);
// "LogData_" + serial + ".zip" (joined to the archive folder by the caller).
std::string ZipName(const std::string& serial);
// `name` with "_" + `stamp` before its extension ("A_B.dat" and
// "20250405-081500" give "A_B_20250405-081500.dat"); `name` itself when the
// stamp is empty.
std::string StampedName(const std::string& name, const std::string& stamp);

}  // namespace acq
