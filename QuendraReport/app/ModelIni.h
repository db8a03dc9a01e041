#pragma once
// The features of one display model, section "Feature" of "model.ini" in the
// model folder. A missing file or key gives the defaults.

#include <filesystem>

struct stModelFeatures {
    bool m_bMulti = false;     // "Multi": display ID selection offered
    bool m_bLan = false;       // "LAN" (default: the model list's LAN bit)
    bool m_bRs232 = true;      // "RS232"
    bool m_bBaudRate = false;  // "BaudRate" != 0: baud rate selection offered
    int m_nBaudIndex = 0;      // "BaudRate" - 1 when non-zero, else 0
    int m_nTimeMode = 0;       // "TimeMode": 1 only for the value 1, else 0
};

stModelFeatures ReadModelFeatures(const std::filesystem::path& modelFolder, bool bLanDefault);
