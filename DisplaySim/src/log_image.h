#pragma once
// The parts of a log image that the display itself maintains: the identity
// fields of its header and its four log groups. The image's layout is walked
// with logimage::LocateLog; every change recomputes the check value.

#include <string>
#include <string_view>

#include "display.h"

namespace dsim {

// Empties the four log groups and recomputes the check value.
bool ClearLogGroups(Bytes& image, std::string& error);

// Replaces the model name and serial number of the header (each at most 15
// bytes) and recomputes the check value.
bool RewriteLogIdentity(Bytes& image, std::string_view model, std::string_view serial, std::string& error);

// A valid log image of the display's identity with records in every group and
// a temperature section.
Bytes BuildDefaultLog(const Display& d);

}  // namespace dsim
