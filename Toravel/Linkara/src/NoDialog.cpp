// Builds without the GUI have no connection dialog; the settings file is edited by hand.

#include "LinkaraCore.h"

namespace linkara {

bool ShowConnectionDialog(void*, Settings&, std::u16string&) { return false; }

}  // namespace linkara
