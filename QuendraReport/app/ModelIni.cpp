#include "app/ModelIni.h"

#include <climits>

#include "common/ini.h"
#include "common/paths.h"

stModelFeatures ReadModelFeatures(const std::filesystem::path& modelFolder, bool bLanDefault) {
    const std::filesystem::path file = cmn::ResolveNoCase(modelFolder / "model.ini");
    stModelFeatures f;
    f.m_bMulti = cmn::IniGetInt(file, "Feature", "Multi", 0) != 0;
    f.m_bLan = cmn::IniGetInt(file, "Feature", "LAN", bLanDefault ? 1 : 0) != 0;
    f.m_bRs232 = cmn::IniGetInt(file, "Feature", "RS232", 1) != 0;
    const int baud = cmn::IniGetInt(file, "Feature", "BaudRate", 0);
    f.m_bBaudRate = baud != 0;
    // The index may be out of the combo box range; the control bar checks it. No overflow at INT_MIN.
    f.m_nBaudIndex = baud == 0 ? 0 : (baud == INT_MIN ? INT_MIN : baud - 1);
    f.m_nTimeMode = cmn::IniGetInt(file, "Feature", "TimeMode", 0) == 1 ? 1 : 0;
    return f;
}
