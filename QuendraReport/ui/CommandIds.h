#pragma once
// The ids of the report window's commands (menu items, buttons, and the
// commands that only a posted command reaches).

namespace qui {

enum : int {
    kCmdGetLogs = 32776,
    kCmdCreateReport = 32778,
    kCmdCreateHtml = 32781,
    kCmdSetFilter = 32784,  // no menu item: posted only
    kCmdCompensation = 32785,
    kCmdDumpNvram = 32787,  // no menu item: posted only
    kCmdGetAll = 32788,
    kCmdClearLogs = 32792,
    kCmdOpenLogFile = 32793,
    kCmdDumpTemperature = 32796,  // no menu item: posted only
    kCmdCompare = 32801,
    kCmdWriteNvram = 32803,
    kCmdAppAbout = 57664,
    kCmdAppExit = 57665,
};

}  // namespace qui
