#pragma once
// The temperature settings dump: serial number, usage time, current
// temperatures, temperature-protection settings, statistics and the last
// five events of three event logs, collected with text queries only and
// written as one text file.
// Thread-safety: as the workers (Workers.h); the parsers are pure functions.

#include <string>

#include "acquire/Workers.h"

namespace acq {

constexpr int kTempDumpRange = 6;

// Collects the dump and writes it to ctx.transferPath (atomically; nothing is
// written unless every query succeeded). "ESPC0000" and "SRLG0001" always
// follow once the port was open, each sent once more when refused or lost,
// and what was still not accepted once more over a new connection. 0, 1
// (also when the display could not be taken out of maintenance mode or its
// logging put back on; a complete dump is still written then), 2 when
// cancelled between queries, or 4 when the file could not be written.
int GetTemperatureThread(stStepContext& ctx);
// One event-log section of kind 0..2 appended to `text`; false when a query
// was refused or a reply holds too few numbers (the session notes why). The
// session's cancel flag is read before each query.
bool GetTempLogs(CDisplaySession& s, void* control, int kind, std::string& text);
// Takes the run of digits right after the first ":" of `text` into `value`
// and keeps only what follows it; false (nothing changed) when there is no
// ":" or no digit right after it. A run too long for an int saturates.
bool SplitTempLog(int& value, std::string& text);
// The current temperatures line's numbers: the reply split at commas into at
// most three fields, each converted decimally (missing fields are 0).
void SplitCurrentTemps(const std::string& reply, int (&temps)[3]);

}  // namespace acq
