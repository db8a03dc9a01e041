// The three documents of the fleet overview: the HTML page, CSV and JSON.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <set>

#include "common/codepage.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "common/timeutil.h"
#include "report/HtmlPieces.h"
#include "report/LogJson.h"
#include "report/Overview.h"

namespace fs = std::filesystem;

namespace {

// Log group of each label "log 0" .. "log 3", as the full report labels them:
// log 0 the running log, log 1 the oldest abnormal group, log 3 the newest.
constexpr std::size_t kGroupOfLabel[4] = {0, 3, 2, 1};

// ---- texts shared by the documents --------------------------------------------------

// Text fit for any of the documents: UTF-8 (bytes that are not are taken as
// CP932), with control characters replaced, since a page must not hold them.
std::string Clean(std::string_view text) {
    const std::string utf8 = cmn::IsValidUtf8(text) ? std::string(text) : cmn::Cp932ToUtf8(text);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0;
        if ((c < 0x20 && c != '\t') || c == 0x7F || c1) {
            out += "\xEF\xBF\xBD";
            if (c1) ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string TimeText(std::time_t t) { return cmn::FormatLocal(t, "%Y/%m/%d %H:%M:%S"); }

// A clock gap: "+20 s", "-4 min", "+2 h 6 min", "-3 d 4 h".
std::string GapText(std::int64_t gap) {
    const char* sign = gap < 0 ? "-" : "+";
    const std::int64_t s = gap < 0 ? -gap : gap;
    if (s == 0) return "0 s";
    if (s < 60) return cmn::StrPrintf("%s%lld s", sign, static_cast<long long>(s));
    if (s < 3600) return cmn::StrPrintf("%s%lld min", sign, static_cast<long long>(s / 60));
    if (s < 86400)
        return cmn::StrPrintf("%s%lld h %lld min", sign, static_cast<long long>(s / 3600),
                              static_cast<long long>(s % 3600 / 60));
    return cmn::StrPrintf("%s%lld d %lld h", sign, static_cast<long long>(s / 86400),
                          static_cast<long long>(s % 86400 / 3600));
}

const char* CollectedFromText(CollectedFrom from) {
    switch (from) {
        case CollectedFrom::kFileName: return "file name";
        case CollectedFrom::kFileTime: return "file time";
        case CollectedFrom::kUnknown: break;
    }
    return "";
}

// A link from the page's folder to `target`: a relative path with every byte
// but letters, digits, "-._~" and "/" percent-encoded, so that no file name
// can make the link a "javascript:" one or leave the attribute.
std::string Href(const fs::path& target, const fs::path& base) {
    const fs::path rel = target.lexically_relative(base);
    std::string out = rel.empty() ? "file://" : "";
    for (const char ch : rel.empty() ? target.string() : rel.string()) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || (c != 0 && std::strchr("-._~/", ch) != nullptr)) {
            out += ch;
        } else {
            out += cmn::StrPrintf("%%%02X", c);
        }
    }
    return out;
}

struct stLinks {
    std::string report, log;  // empty when there is none
};

stLinks LinksOf(const stOverviewRow& row, const stOverviewFiles& files) {
    const fs::path base = files.html.parent_path();
    stLinks l;
    if (!row.report.empty()) l.report = Href(row.report, base);
    if (!row.logFile.empty()) l.log = Href(row.logFile, base);
    return l;
}

bool Holds(const stOverviewRow& row, std::string_view rule) {
    return std::any_of(row.rules.begin(), row.rules.end(), [&](const stStatusRule* r) { return rule == r->id; });
}

bool Decoded(const stOverviewRow& row) { return row.source == stOverviewRow::Source::kLog; }

int Sum(const std::array<int, 4>& a) { return a[0] + a[1] + a[2] + a[3]; }

std::size_t OlderLogs(const stOverview& o) {
    std::size_t n = 0;
    for (const stOverviewRow& row : o.rows) n += static_cast<std::size_t>(row.nOlderLogs);
    return n;
}

std::array<std::size_t, 3> CountByStatus(const stOverview& o) {
    std::array<std::size_t, 3> n{};
    for (const stOverviewRow& row : o.rows) ++n[static_cast<std::size_t>(row.status)];
    return n;
}

// ---- HTML ----------------------------------------------------------------------

const char* const kStyle = R"(*{box-sizing:border-box}
body{margin:0 auto;padding:16px;max-width:1920px;font:13px/1.4 system-ui,"Segoe UI",Roboto,"Noto Sans",Arial,sans-serif;color:#1b1b1b;background:#fff}
h1{font-size:1.5em;margin:0 0 6px}
h2{font-size:1.15em;margin:28px 0 8px}
p{margin:4px 0}
a{color:#0b57a4}
.badge{display:inline-block;padding:1px 8px;border:1px solid;border-radius:10px;font-size:.85em;font-weight:600;white-space:nowrap}
.badge.critical{background:#b3261e;border-color:#b3261e;color:#fff}
.badge.attention{background:#ffdf80;border-color:#b88a00;color:#3d2c00}
.badge.ok{background:#e2f3e5;border-color:#7dbb8b;color:#1d5a2a}
.filters{display:flex;flex-wrap:wrap;gap:8px 20px;align-items:center;margin:12px 0}
.filters[hidden]{display:none}
.filters select{font:inherit;padding:2px 4px}
table{border-collapse:collapse}
.overview{width:100%}
.overview th,.overview td{padding:6px;border-bottom:1px solid #d5d8dc;text-align:left;vertical-align:top}
.overview thead th{position:sticky;top:0;z-index:1;background:#eef0f3;border-bottom:2px solid #8d949c;font-size:.85em}
.overview td.status{min-width:11em;max-width:17em}
.files a{white-space:nowrap}
.overview th button{font:inherit;font-weight:600;color:inherit;background:none;border:0;padding:0;cursor:pointer;text-align:left}
.overview th[aria-sort=ascending] button::after{content:" \25B2"}
.overview th[aria-sort=descending] button::after{content:" \25BC"}
.overview td.status{border-left:6px solid #7dbb8b}
.overview tr.attention td.status{border-left-color:#e0a800}
.overview tr.critical td.status{border-left-color:#b3261e}
.num{text-align:right;font-variant-numeric:tabular-nums}
.overview td.empty{color:#8a9096}
.sub{display:block;font-size:.82em;color:#4d5358}
.line{display:block;white-space:nowrap}
.nowrap{white-space:nowrap}
.none{color:#8a9096}
.flag{color:#b3261e;font-weight:600}
.why{margin:4px 0 0;padding-left:1.1em;font-size:.82em}
.problem{font-size:.82em;color:#7a1c16}
.sensor{display:flex;align-items:center;gap:6px;white-space:nowrap;font-size:.82em;font-variant-numeric:tabular-nums}
.sensor svg{flex:none}
.rules td,.rules th{padding:4px 10px;border-bottom:1px solid #d5d8dc;text-align:left;vertical-align:top}
.notes li{margin:2px 0}
@media screen and (max-width:900px){
body{padding:10px}
.overview,.overview thead,.overview tbody{display:block;width:100%}
.overview thead tr{display:flex;flex-wrap:wrap;gap:6px 8px;margin-bottom:10px}
.overview thead th{position:static;border:1px solid #c3c8cd;border-radius:12px;padding:2px 10px;background:#eef0f3}
.overview thead th:not([data-type]){display:none}
.overview tbody tr{display:grid;grid-template-columns:repeat(auto-fill,minmax(300px,1fr));column-gap:24px;margin:0 0 12px;padding:4px 12px;border:1px solid #c3c8cd;border-left:6px solid #7dbb8b;border-radius:6px}
.overview tbody tr.attention{border-left-color:#e0a800}
.overview tbody tr.critical{border-left-color:#b3261e}
.overview td{display:grid;grid-template-columns:7.5em minmax(0,1fr);gap:8px;padding:5px 0;border-bottom:1px solid #eceef0}
.overview td::before{content:attr(data-label);font-weight:600;font-size:.85em;color:#4d5358}
.overview td.status{border-left:0;min-width:0;max-width:none}
.overview td.empty{display:none}
.num{text-align:left}
}
@media print{
@page{size:A4 landscape;margin:8mm}
body{max-width:none;padding:0;font-size:7.5pt}
.filters{display:none}
.overview thead th{position:static}
.overview th,.overview td{padding:3px 4px}
.overview tr{break-inside:avoid}
a{color:inherit;text-decoration:none}
h2{break-after:avoid}
}
)";

// Sorting by any column (header buttons) and filtering by status and model.
// The page reads the same without it.
const char* const kScript = R"((function () {
  var table = document.getElementById("displays");
  if (!table || !table.tBodies.length) return;
  var body = table.tBodies[0];
  var rows = Array.prototype.slice.call(body.rows);
  var heads = table.tHead.rows[0].cells;
  // The page opens sorted by status, worst first.
  var current = 0, direction = -1;
  function key(row, column, numeric) {
    var cell = row.cells[column];
    var value = cell.getAttribute("data-sort");
    if (value === null) value = cell.textContent;
    if (!numeric) return value.trim().toLowerCase();
    return value === "" ? -Infinity : parseFloat(value);
  }
  function sortBy(column) {
    var numeric = heads[column].getAttribute("data-type") === "num";
    direction = column === current ? -direction : (numeric ? -1 : 1);
    current = column;
    var keyed = rows.map(function (row, i) { return [key(row, column, numeric), i, row]; });
    keyed.sort(function (a, b) {
      if (a[0] < b[0]) return -direction;
      if (a[0] > b[0]) return direction;
      return a[1] - b[1];
    });
    keyed.forEach(function (k) { body.appendChild(k[2]); });
    for (var i = 0; i < heads.length; i++)
      heads[i].setAttribute("aria-sort", i === column ? (direction > 0 ? "ascending" : "descending") : "none");
  }
  Array.prototype.forEach.call(heads, function (head, column) {
    if (!head.hasAttribute("data-type")) return;
    var button = document.createElement("button");
    button.type = "button";
    while (head.firstChild) button.appendChild(head.firstChild);
    head.appendChild(button);
    head.setAttribute("aria-sort", column === current ? "descending" : "none");
    button.addEventListener("click", function () { sortBy(column); });
  });
  var status = document.getElementById("filter-status");
  var model = document.getElementById("filter-model");
  var shown = document.getElementById("filter-shown");
  function filter() {
    var n = 0;
    rows.forEach(function (row) {
      var show = (!status.value || row.getAttribute("data-status") === status.value) &&
                 (!model.value || row.getAttribute("data-model") === model.value);
      row.hidden = !show;
      if (show) n++;
    });
    shown.textContent = n + " of " + rows.length + " displays shown";
  }
  status.addEventListener("change", filter);
  model.addEventListener("change", filter);
  document.getElementById("filters").hidden = false;
  filter();
})();
)";

class Html {
public:
    std::string& Out() { return m_out; }
    Html& Raw(std::string_view s) {
        m_out += s;
        return *this;
    }
    // Text from outside (a log, a summary, a path): cleaned and escaped.
    Html& Text(std::string_view s) {
        AppendHtmlEscaped(m_out, Clean(s));
        return *this;
    }
    Html& Num(long long v) {
        m_out += std::to_string(v);
        return *this;
    }

private:
    std::string m_out;
};

// One scale for every temperature bar of the page, so bars compare.
struct stScale {
    int lo = 0, hi = 100;
    double X(int v, double width) const {
        const double x = (static_cast<double>(v) - lo) * width / (hi - lo);
        return std::clamp(x, 0.0, width);
    }
};

stScale ScaleOf(const stOverview& o) {
    int lo = 0, hi = 0;
    bool any = false;
    for (const stOverviewRow& row : o.rows) {
        if (!row.temperature) continue;
        for (const stSensorReading& s : row.temperature->sensors) {
            if (s.bUnused) continue;
            for (const std::optional<int>& v : {std::optional<int>(s.nCurrent), s.nMaximum, s.nHighTemp, s.nPowerOff}) {
                if (!v) continue;
                lo = any ? std::min(lo, *v) : std::min(0, *v);
                hi = any ? std::max(hi, *v) : *v;
                any = true;
            }
        }
    }
    stScale scale;
    scale.lo = static_cast<int>(std::floor(lo / 10.0)) * 10;
    scale.hi = std::max(scale.lo + 10, static_cast<int>(std::floor(hi / 10.0)) * 10 + 10);
    return scale;
}

std::string Coord(double v) { return cmn::StrPrintf("%.1f", v); }

std::string SensorDescription(const stSensorReading& s) {
    std::string d = "sensor " + std::to_string(s.nSensor) + ": current " + std::to_string(s.nCurrent);
    if (s.nMaximum) d += ", maximum " + std::to_string(*s.nMaximum);
    if (s.nHighTemp) d += ", high-temperature threshold " + std::to_string(*s.nHighTemp);
    d += s.nPowerOff ? ", power-off threshold " + std::to_string(*s.nPowerOff) : ", no power-off threshold";
    return d;
}

// A sensor as a bar: the zone from the high-temperature threshold amber, from
// the power-off threshold red; the current temperature as the bar, the
// maximum as a black mark; the numbers beside it.
void SensorBar(Html& h, const stSensorReading& s, const stScale& scale) {
    constexpr double kW = 100, kH = 12;
    h.Raw("<div class=\"sensor\"><span>S").Num(s.nSensor).Raw("</span>");
    if (s.bUnused) {
        h.Raw("<span class=\"none\">unused</span></div>");
        return;
    }
    const std::string description = SensorDescription(s);
    h.Raw("<svg width=\"100\" height=\"12\" viewBox=\"0 0 100 12\" role=\"img\" aria-label=\"")
        .Text(description)
        .Raw("\"><title>")
        .Text(description)
        .Raw("</title><rect width=\"100\" height=\"12\" fill=\"#e6e9ec\"/>");
    const double xOff = s.nPowerOff ? scale.X(*s.nPowerOff, kW) : kW;
    if (s.nHighTemp && scale.X(*s.nHighTemp, kW) < xOff) {
        const double x = scale.X(*s.nHighTemp, kW);
        h.Raw("<rect x=\"" + Coord(x) + "\" width=\"" + Coord(xOff - x) + "\" height=\"12\" fill=\"#ffd966\"/>");
    }
    if (s.nPowerOff)
        h.Raw("<rect x=\"" + Coord(xOff) + "\" width=\"" + Coord(kW - xOff) + "\" height=\"12\" fill=\"#f1998f\"/>");
    h.Raw("<rect y=\"3\" width=\"" + Coord(scale.X(s.nCurrent, kW)) + "\" height=\"6\" fill=\"#2f5597\"/>");
    if (s.nMaximum) {
        const double x = std::clamp(scale.X(*s.nMaximum, kW) - 1, 0.0, kW - 2);
        h.Raw("<rect x=\"" + Coord(x) + "\" width=\"2\" height=\"" + Coord(kH) + "\" fill=\"#111\"/>");
    }
    h.Raw("</svg>");
    const bool hot = (s.nPowerOff && s.nMaximum.value_or(s.nCurrent) >= *s.nPowerOff) ||
                     (s.nHighTemp && s.nMaximum && *s.nMaximum >= *s.nHighTemp);
    h.Raw(hot ? "<span class=\"flag\">" : "<span>").Num(s.nCurrent);
    if (s.nMaximum) h.Raw(" / ").Num(*s.nMaximum);
    h.Raw("</span></div>");
}

// A cell: its label for the narrow layout, its sort key ("-": none), its class.
void Open(Html& h, const char* label, const std::string& sort, const char* cls = nullptr) {
    h.Raw("<td");
    if (cls) h.Raw(" class=\"").Raw(cls).Raw("\"");
    h.Raw(" data-label=\"").Raw(label).Raw("\"");
    if (sort != "-") h.Raw(" data-sort=\"").Text(sort).Raw("\"");
    h.Raw("><div>");
}
void Close(Html& h) { h.Raw("</div></td>\n"); }

// A cell with nothing to say (the narrow layout leaves it out); it sorts last.
void Empty(Html& h, const char* label) {
    h.Raw("<td class=\"empty\" data-label=\"").Raw(label).Raw("\" data-sort=\"\"><div>&#8211;</div></td>\n");
}

void StatusCell(Html& h, const stOverviewRow& row) {
    Open(h, "Status", std::to_string(static_cast<int>(row.status)), "status");
    const char* name = StatusName(row.status);
    h.Raw("<span class=\"badge ").Raw(row.status == OverviewStatus::kOk ? "ok" : name).Raw("\">").Raw(name).Raw("</span>");
    if (!row.rules.empty()) {
        h.Raw("<ul class=\"why\">");
        for (const stStatusRule* r : row.rules) h.Raw("<li>").Text(r->label).Raw("</li>");
        h.Raw("</ul>");
    }
    if (!row.strProblem.empty()) h.Raw("<p class=\"problem\">").Text(row.strProblem).Raw("</p>");
    Close(h);
}

void DisplayCell(Html& h, const stOverviewRow& row) {
    const bool named = !row.strSerial.empty() || !row.strModel.empty();
    if (!named && row.strHost.empty()) return Empty(h, "Display");
    std::string key;
    for (const std::string* part : {&row.strModel, &row.strSerial, &row.strHost})
        if (!part->empty()) key += (key.empty() ? "" : " ") + *part;
    Open(h, "Display", key, "display");
    if (!row.strSerial.empty()) h.Raw("<strong>").Text(row.strSerial).Raw("</strong> ");
    if (!row.strModel.empty()) h.Text(row.strModel);
    if (!named) h.Raw("<strong>").Text(row.strHost).Raw("</strong>");
    if (named && !row.strHost.empty()) h.Raw("<span class=\"sub\">").Text(row.strHost).Raw("</span>");
    if (!row.firmware.empty()) {
        h.Raw("<span class=\"sub\">");
        for (std::size_t i = 0; i < row.firmware.size(); ++i)
            h.Raw(i ? " &#183; " : "").Text(row.firmware[i].first).Raw(" ").Text(row.firmware[i].second);
        h.Raw("</span>");
    }
    Close(h);
}

void UsageCell(Html& h, const stOverviewRow& row) {
    if (row.strUsageTime.empty()) return Empty(h, "Usage time");
    Open(h, "Usage time", std::to_string(cmn::DecimalToInt64(row.strUsageTime)), "num");
    h.Text(row.strUsageTime);
    Close(h);
}

// A time that may break between its date and its time of day.
std::string Breakable(std::time_t t) {
    return cmn::FormatLocal(t, "%Y/%m/%d") + "<wbr> " + cmn::FormatLocal(t, "%H:%M:%S");
}

// A time on one line.
std::string Whole(std::time_t t) { return "<span class=\"nowrap\">" + TimeText(t) + "</span>"; }

void ClockCell(Html& h, const stOverviewRow& row) {
    if (!row.clockGap && !row.displayClock && !row.collected) return Empty(h, "Clock gap");
    Open(h, "Clock gap", row.clockGap ? std::to_string(row.facts.nClockGapSeconds) : std::string());
    if (row.clockGap) {
        h.Raw(Holds(row, "clock-gap") ? "<span class=\"flag\">" : "<span>").Text(GapText(*row.clockGap)).Raw("</span>");
    } else {
        h.Raw("<span class=\"none\">no display clock</span>");
    }
    if (row.displayClock) h.Raw("<span class=\"sub\">display ").Raw(Whole(*row.displayClock)).Raw("</span>");
    if (row.collected) {
        h.Raw("<span class=\"sub\">collected ").Raw(Whole(*row.collected));
        if (row.collectedFrom == CollectedFrom::kFileTime) h.Raw(" (file time)");
        h.Raw("</span>");
    }
    Close(h);
}

void AbnormalCell(Html& h, const stOverviewRow& row) {
    if (!Decoded(row)) return Empty(h, "Abnormal");
    const int total = Sum(row.abnormal);
    Open(h, "Abnormal", std::to_string(total));
    h.Num(total).Raw("<span class=\"sub\">of ").Num(static_cast<long long>(row.nRecords)).Raw(" records</span>");
    if (total > 0) {
        const int recent = Sum(row.abnormalRecent);
        h.Raw(recent > 0 ? "<span class=\"sub flag\">" : "<span class=\"sub\">")
            .Num(recent)
            .Raw(" in the last ")
            .Num(kRecentDays)
            .Raw(" days</span><span class=\"sub\">");
        for (std::size_t label = 0; label < 4; ++label) {
            const std::size_t g = kGroupOfLabel[label];
            h.Raw(label ? " &#183; " : "").Raw("log ").Num(static_cast<long long>(label)).Raw(": ").Num(row.abnormal[g]);
        }
        h.Raw("</span>");
    }
    Close(h);
}

void NewestAbnormalCell(Html& h, const stOverviewRow& row) {
    const auto& n = row.newestAbnormal;
    if (!n) return Empty(h, "Newest abnormal");
    Open(h, "Newest abnormal", std::to_string(static_cast<long long>(n->tTime)));
    h.Raw(Breakable(n->tTime)).Raw("<span class=\"sub\">").Text(n->strKind).Raw(": ").Text(n->strInfo).Raw("</span>");
    Close(h);
}

void PowerCell(Html& h, const stOverviewRow& row) {
    if (!Decoded(row)) return Empty(h, "Power");
    Open(h, "Power", std::to_string(row.nPowerFailures + row.nProtections));
    auto line = [&](const char* what, int all, int recent, const char* rule) {
        h.Raw(Holds(row, rule) ? "<span class=\"line flag\">" : "<span class=\"line\">").Raw(what).Raw(" ").Num(all);
        if (all > 0) h.Raw(" (").Num(recent).Raw(" recent)");
        h.Raw("</span>");
    };
    line("failures", row.nPowerFailures, row.nPowerFailuresRecent, "power-failures");
    line("protections", row.nProtections, row.nProtectionsRecent, "protection");
    Close(h);
}

// The event counters of format 4 (format 5 keeps its last events only).
void TemperatureEvents(Html& h, const stOverviewRow& row) {
    const auto& t = row.temperature;
    if (!t || !t->nBrightDown) return;
    h.Raw("<span class=\"sub\"><span class=\"nowrap\">bright-down ").Num(*t->nBrightDown).Raw("</span> &#183; ");
    h.Raw(Holds(row, "high-temperature") ? "<span class=\"nowrap flag\">" : "<span class=\"nowrap\">")
        .Raw("high-temperature ")
        .Num(t->nHighTemp.value_or(0))
        .Raw("</span> &#183; ");
    h.Raw(Holds(row, "temperature-power-off") ? "<span class=\"nowrap flag\">" : "<span class=\"nowrap\">")
        .Raw("power-off ")
        .Num(t->nPowerOff.value_or(0))
        .Raw("</span></span>");
}

void TemperatureCell(Html& h, const stOverviewRow& row, const stScale& scale) {
    if (!row.temperature || row.temperature->sensors.empty()) return Empty(h, "Temperature");
    std::optional<int> hottest;
    for (const stSensorReading& s : row.temperature->sensors)
        if (!s.bUnused) hottest = std::max(hottest.value_or(INT_MIN), s.nMaximum.value_or(s.nCurrent));
    Open(h, "Temperature", hottest ? std::to_string(*hottest) : std::string());
    for (const stSensorReading& s : row.temperature->sensors) SensorBar(h, s, scale);
    TemperatureEvents(h, row);
    Close(h);
}

void FilesCell(Html& h, const stOverviewRow& row, const stOverviewFiles& files) {
    const stLinks links = LinksOf(row, files);
    if (links.report.empty() && links.log.empty()) return Empty(h, "Files");
    Open(h, "Files", "-", "files");
    if (!links.report.empty()) h.Raw("<a href=\"").Raw(links.report).Raw("\">full report</a>");
    if (!links.report.empty() && !links.log.empty()) h.Raw(" &#183; ");
    if (!links.log.empty())
        h.Raw("<a href=\"").Raw(links.log).Raw("\" title=\"").Text(row.logFile.filename().string()).Raw("\">log</a>");
    if (row.nOlderLogs > 0)
        h.Raw("<span class=\"sub\">").Num(row.nOlderLogs).Raw(row.nOlderLogs == 1 ? " older log" : " older logs").Raw("</span>");
    Close(h);
}

void Row(Html& h, const stOverviewRow& row, const stOverviewFiles& files, const stScale& scale) {
    const char* name = StatusName(row.status);
    const char* cls = row.status == OverviewStatus::kOk ? "ok" : name;
    h.Raw("<tr class=\"").Raw(cls).Raw("\" data-status=\"").Raw(cls).Raw("\" data-model=\"").Text(row.strModel).Raw("\">\n");
    StatusCell(h, row);
    DisplayCell(h, row);
    UsageCell(h, row);
    ClockCell(h, row);
    AbnormalCell(h, row);
    NewestAbnormalCell(h, row);
    PowerCell(h, row);
    TemperatureCell(h, row, scale);
    FilesCell(h, row, files);
    h.Raw("</tr>\n");
}

// The columns: header and whether it sorts as numbers (absent: not sortable).
const struct {
    const char* header;
    const char* type;
} kColumns[] = {
    {"Status", "num"},   {"Display", "text"}, {"Usage time", "num"},  {"Clock gap", "num"},   {"Abnormal", "num"},
    {"Newest abnormal", "num"}, {"Power", "num"}, {"Temperature", "num"}, {"Files", nullptr},
};

void Heading(Html& h, const stOverview& o) {
    const std::array<std::size_t, 3> n = CountByStatus(o);
    h.Raw("<header>\n<h1>Fleet overview</h1>\n<p class=\"counts\">");
    h.Raw("<span class=\"badge critical\">").Num(static_cast<long long>(n[2])).Raw(" critical</span> ");
    h.Raw("<span class=\"badge attention\">").Num(static_cast<long long>(n[1])).Raw(" attention</span> ");
    h.Raw("<span class=\"badge ok\">").Num(static_cast<long long>(n[0])).Raw(" OK</span></p>\n<p>");
    h.Num(static_cast<long long>(o.rows.size())).Raw(o.rows.size() == 1 ? " display" : " displays");
    h.Raw(" from ").Num(static_cast<long long>(o.nLogs)).Raw(o.nLogs == 1 ? " log" : " logs");
    if (const std::size_t older = OlderLogs(o))
        h.Raw(" (").Num(static_cast<long long>(older)).Raw(older == 1 ? " older log" : " older logs").Raw(" of the same displays not shown)");
    std::optional<std::time_t> first, last;
    for (const stOverviewRow& row : o.rows) {
        if (!row.collected) continue;
        first = first ? std::min(*first, *row.collected) : *row.collected;
        last = last ? std::max(*last, *row.collected) : *row.collected;
    }
    if (first) h.Raw(", collected ").Text(TimeText(*first)).Raw(" to ").Text(TimeText(*last));
    h.Raw(".</p>\n</header>\n");
}

void Filters(Html& h, const stOverview& o) {
    std::set<std::string> models;
    for (const stOverviewRow& row : o.rows)
        if (!row.strModel.empty()) models.insert(row.strModel);
    h.Raw("<div id=\"filters\" class=\"filters\" hidden>\n");
    h.Raw("<label>Status <select id=\"filter-status\"><option value=\"\">all</option>"
          "<option value=\"critical\">critical</option><option value=\"attention\">attention</option>"
          "<option value=\"ok\">OK</option></select></label>\n");
    h.Raw("<label>Model <select id=\"filter-model\"><option value=\"\">all</option>");
    for (const std::string& m : models) h.Raw("<option value=\"").Text(m).Raw("\">").Text(m).Raw("</option>");
    h.Raw("</select></label>\n<span id=\"filter-shown\"></span>\n</div>\n");
}

void Legend(Html& h, const stOverview& o, const stScale& scale) {
    h.Raw("<section>\n<h2>Status rules</h2>\n<p>A display takes the worst status of the rules that hold for it; "
          "with none it is OK. The page opens sorted by status, worst first.</p>\n");
    h.Raw("<table class=\"rules\">\n<thead><tr><th scope=\"col\">Status</th><th scope=\"col\">Shown as</th>"
          "<th scope=\"col\">Rule</th><th scope=\"col\">Name in CSV and JSON</th></tr></thead>\n<tbody>\n");
    for (const stStatusRule& r : StatusRules()) {
        const char* name = StatusName(r.status);
        h.Raw("<tr><td><span class=\"badge ").Raw(name).Raw("\">").Raw(name).Raw("</span></td><td>").Text(r.label)
            .Raw("</td><td>").Text(r.text).Raw("</td><td>").Raw(r.id).Raw("</td></tr>\n");
    }
    h.Raw("</tbody>\n</table>\n<h2>Reading the page</h2>\n<ul class=\"notes\">\n");
    h.Raw("<li>Recent: the last ").Num(kRecentDays).Raw(" days before the display's clock at collection (the "
          "collection time when the log holds no clock); record and event times are the display's.</li>\n");
    h.Raw("<li>Collection time: the time in the log file's name when the collecting tool stamped it there, "
          "otherwise the time the file was written (\"file time\"). Clock gap: the display's clock minus the "
          "collection time.</li>\n");
    h.Raw("<li>Abnormal records by log group as the full report labels them: log 0 the running log, log 1 to "
          "log 3 the records around the oldest to the newest abnormal record, so one event may be counted in "
          "two groups.</li>\n");
    h.Raw("<li>Power: failures are losses of the power supply, protections power-offs by a protection "
          "(temperature, fan or other); each event counted once.</li>\n");
    h.Raw("<li>Temperature, per sensor S1, S2, ...: the bar is the current temperature on one scale from ")
        .Num(scale.lo).Raw(" to ").Num(scale.hi)
        .Raw(" for the whole page, the black mark the maximum reached, amber from the high-temperature "
             "threshold, red from the power-off threshold; the numbers are the current temperature and the "
             "maximum. Below them the display's counts of bright-down, high-temperature and power-off events "
             "(logs of temperature format 5 keep only their last events and count none).</li>\n");
    h.Raw("</ul>\n");
    if (!o.notes.empty()) {
        h.Raw("<h2>Notes</h2>\n<ul class=\"notes\">\n");
        for (const std::string& note : o.notes) h.Raw("<li>").Text(note).Raw("</li>\n");
        h.Raw("</ul>\n");
    }
    h.Raw("</section>\n");
}

// ---- CSV ------------------------------------------------------------------------

// A field; quoted when it needs to be. Texts from outside that a spreadsheet
// would take for a formula get a leading apostrophe.
void CsvField(std::string& out, std::string_view text, bool outside) {
    std::string field = Clean(text);
    if (outside && !field.empty() && std::strchr("=+-@\t", field[0]) != nullptr) field.insert(0, "'");
    if (field.find_first_of(",\"\r\n") != std::string::npos || (!field.empty() && (field.front() == ' ' || field.back() == ' '))) {
        std::string quoted = "\"";
        for (char c : field) {
            if (c == '"') quoted += '"';
            quoted += c;
        }
        field = quoted + "\"";
    }
    out += field;
}

class CsvLine {
public:
    explicit CsvLine(std::string& out) : m_out(out) {}
    ~CsvLine() { m_out += "\r\n"; }
    CsvLine(const CsvLine&) = delete;
    CsvLine& operator=(const CsvLine&) = delete;
    CsvLine& Text(std::string_view s) {
        Sep();
        CsvField(m_out, s, true);
        return *this;
    }
    CsvLine& Own(std::string_view s) {
        Sep();
        CsvField(m_out, s, false);
        return *this;
    }
    CsvLine& Num(long long v) {
        Sep();
        m_out += std::to_string(v);
        return *this;
    }
    CsvLine& Opt(const std::optional<long long>& v) {
        Sep();
        if (v) m_out += std::to_string(*v);
        return *this;
    }

private:
    void Sep() {
        if (!m_first) m_out += ',';
        m_first = false;
    }
    std::string& m_out;
    bool m_first = true;
};

std::optional<long long> Opt(bool has, long long v) { return has ? std::optional<long long>(v) : std::nullopt; }

std::string SensorsText(const stTemperatureSummary& t) {
    std::string text;
    auto opt = [](const std::optional<int>& v) { return v ? std::to_string(*v) : std::string(); };
    for (const stSensorReading& s : t.sensors) {
        if (!text.empty()) text += ';';
        text += std::to_string(s.nSensor) + ":";
        text += s.bUnused ? std::string("unused")
                          : std::to_string(s.nCurrent) + "/" + opt(s.nMaximum) + "/" + opt(s.nHighTemp) + "/" +
                                opt(s.nPowerOff);
    }
    return text;
}

// ---- JSON -----------------------------------------------------------------------------

class JsonOut {
public:
    explicit JsonOut(std::string& out) : m_out(out) {}
    JsonOut& Key(const char* key) {
        Sep();
        m_out += '"';
        m_out += key;
        m_out += "\":";
        m_first = true;  // the value follows without a comma
        return *this;
    }
    JsonOut& Str(std::string_view s) { return Put(JsonString(Clean(s))); }
    JsonOut& Num(long long v) { return Put(std::to_string(v)); }
    JsonOut& Null() { return Put("null"); }
    JsonOut& Bool(bool v) { return Put(v ? "true" : "false"); }
    JsonOut& OptNum(const std::optional<long long>& v) { return v ? Num(*v) : Null(); }
    JsonOut& OptStr(bool has, std::string_view s) { return has ? Str(s) : Null(); }
    JsonOut& Open(char c) {
        Put(std::string(1, c));
        m_first = true;
        return *this;
    }
    JsonOut& CloseWith(char c) {
        m_out += c;
        m_first = false;
        return *this;
    }

private:
    void Sep() {
        if (!m_first) m_out += ',';
    }
    JsonOut& Put(const std::string& s) {
        Sep();
        m_out += s;
        m_first = false;
        return *this;
    }
    std::string& m_out;
    bool m_first = true;
};

void GroupsJson(JsonOut& j, const std::array<int, 4>& byGroup) {
    j.Open('{').Key("total").Num(Sum(byGroup));
    static const char* const kKeys[4] = {"log0", "log1", "log2", "log3"};
    for (std::size_t label = 0; label < 4; ++label) j.Key(kKeys[label]).Num(byGroup[kGroupOfLabel[label]]);
    j.CloseWith('}');
}

void RowJson(JsonOut& j, const stOverviewRow& row, const stOverviewFiles& files) {
    const bool decoded = Decoded(row);
    const stLinks links = LinksOf(row, files);
    j.Open('{');
    j.Key("status").Str(StatusName(row.status));
    j.Key("rules").Open('[');
    for (const stStatusRule* r : row.rules) j.Str(r->id);
    j.CloseWith(']');
    j.Key("host").OptStr(!row.strHost.empty(), row.strHost);
    j.Key("model").OptStr(!row.strModel.empty(), row.strModel);
    j.Key("serial").OptStr(!row.strSerial.empty(), row.strSerial);
    j.Key("firmware").Open('[');
    for (const auto& [name, value] : row.firmware) j.Open('{').Key("name").Str(name).Key("value").Str(value).CloseWith('}');
    j.CloseWith(']');
    j.Key("usageTime").OptStr(!row.strUsageTime.empty(), row.strUsageTime);
    j.Key("displayClock").OptStr(row.displayClock.has_value(), row.displayClock ? TimeText(*row.displayClock) : "");
    j.Key("collected").OptStr(row.collected.has_value(), row.collected ? TimeText(*row.collected) : "");
    j.Key("collectedFrom").OptStr(row.collectedFrom != CollectedFrom::kUnknown, CollectedFromText(row.collectedFrom));
    j.Key("clockGap").OptNum(row.clockGap ? std::optional<long long>(*row.clockGap) : std::nullopt);
    j.Key("records").OptNum(Opt(decoded, static_cast<long long>(row.nRecords)));
    if (decoded) {
        j.Key("abnormal");
        GroupsJson(j, row.abnormal);
        j.Key("abnormalRecent");
        GroupsJson(j, row.abnormalRecent);
    } else {
        j.Key("abnormal").Null().Key("abnormalRecent").Null();
    }
    if (row.newestAbnormal) {
        j.Key("newestAbnormal").Open('{').Key("time").Str(TimeText(row.newestAbnormal->tTime));
        j.Key("kind").Str(row.newestAbnormal->strKind).Key("information").Str(row.newestAbnormal->strInfo).CloseWith('}');
    } else {
        j.Key("newestAbnormal").Null();
    }
    j.Key("powerFailures").OptNum(Opt(decoded, row.nPowerFailures));
    j.Key("powerFailuresRecent").OptNum(Opt(decoded, row.nPowerFailuresRecent));
    j.Key("protections").OptNum(Opt(decoded, row.nProtections));
    j.Key("protectionsRecent").OptNum(Opt(decoded, row.nProtectionsRecent));
    if (const auto& t = row.temperature) {
        auto opt = [](const std::optional<int>& v) { return v ? std::optional<long long>(*v) : std::nullopt; };
        j.Key("temperature").Open('{').Key("format").Num(t->nFormat).Key("sensors").Open('[');
        for (const stSensorReading& s : t->sensors) {
            j.Open('{').Key("sensor").Num(s.nSensor).Key("unused").Bool(s.bUnused).Key("current").Num(s.nCurrent);
            j.Key("maximum").OptNum(opt(s.nMaximum)).Key("highTemperature").OptNum(opt(s.nHighTemp));
            j.Key("powerOff").OptNum(opt(s.nPowerOff)).CloseWith('}');
        }
        j.CloseWith(']');
        j.Key("brightDownEvents").OptNum(opt(t->nBrightDown)).Key("highTemperatureEvents").OptNum(opt(t->nHighTemp));
        j.Key("powerOffEvents").OptNum(opt(t->nPowerOff)).CloseWith('}');
    } else {
        j.Key("temperature").Null();
    }
    j.Key("olderLogs").Num(row.nOlderLogs);
    j.Key("log").OptStr(!links.log.empty(), row.logFile.lexically_relative(files.html.parent_path()).string());
    j.Key("report").OptStr(!links.report.empty(), row.report.lexically_relative(files.html.parent_path()).string());
    j.Key("problem").OptStr(!row.strProblem.empty(), row.strProblem);
    j.CloseWith('}');
}

}  // namespace

stOverviewFiles OverviewFilesFor(const fs::path& html) {
    stOverviewFiles f;
    f.html = html;
    f.csv = fs::path(html).replace_extension(".csv");
    f.json = fs::path(html).replace_extension(".json");
    fs::path reports = fs::path(html).replace_extension();
    reports += "-reports";
    f.reports = reports;
    return f;
}

std::string OverviewHtml(const stOverview& o, const stOverviewFiles& files) {
    Html h;
    h.Out().reserve(4096 + o.rows.size() * 3000);
    h.Raw("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Fleet overview: ")
        .Num(static_cast<long long>(o.rows.size()))
        .Raw(o.rows.size() == 1 ? " display" : " displays")
        .Raw("</title>\n<style>\n")
        .Raw(kStyle)
        .Raw("</style>\n</head>\n<body>\n");
    Heading(h, o);
    Filters(h, o);
    const stScale scale = ScaleOf(o);
    h.Raw("<table id=\"displays\" class=\"overview\">\n<thead><tr>");
    for (const auto& c : kColumns) {
        h.Raw("<th scope=\"col\"");
        if (c.type) h.Raw(" data-type=\"").Raw(c.type).Raw("\"");
        h.Raw(">").Raw(c.header).Raw("</th>");
    }
    h.Raw("</tr></thead>\n<tbody>\n");
    for (const stOverviewRow& row : o.rows) Row(h, row, files, scale);
    h.Raw("</tbody>\n</table>\n");
    if (o.rows.empty()) h.Raw("<p>No display found.</p>\n");
    Legend(h, o, scale);
    h.Raw("<script>\n").Raw(kScript).Raw("</script>\n</body>\n</html>\n");
    return std::move(h.Out());
}

std::string OverviewCsv(const stOverview& o, const stOverviewFiles& files) {
    std::string out;
    {
        CsvLine head(out);
        for (const char* name :
             {"status", "rules", "host", "model", "serial", "firmware", "usage_time", "display_clock", "collected",
              "collected_from", "clock_gap_s", "records", "abnormal", "abnormal_log0", "abnormal_log1",
              "abnormal_log2", "abnormal_log3", "abnormal_recent", "abnormal_recent_log0", "abnormal_recent_log1",
              "abnormal_recent_log2", "abnormal_recent_log3", "newest_abnormal_time", "newest_abnormal_kind",
              "newest_abnormal_information", "power_failures", "power_failures_recent", "protections",
              "protections_recent", "temperature_format", "sensors", "bright_down_events", "high_temperature_events",
              "power_off_events", "older_logs", "log", "report", "problem"})
            head.Own(name);
    }
    const fs::path base = files.html.parent_path();
    for (const stOverviewRow& row : o.rows) {
        const bool decoded = Decoded(row);
        CsvLine line(out);
        line.Own(StatusName(row.status));
        std::string rules;
        for (const stStatusRule* r : row.rules) rules += (rules.empty() ? "" : " ") + std::string(r->id);
        line.Own(rules).Text(row.strHost).Text(row.strModel).Text(row.strSerial);
        std::string firmware;
        for (const auto& [name, value] : row.firmware) firmware += (firmware.empty() ? "" : "; ") + name + "=" + value;
        line.Text(firmware).Text(row.strUsageTime);
        line.Own(row.displayClock ? TimeText(*row.displayClock) : "");
        line.Own(row.collected ? TimeText(*row.collected) : "").Own(CollectedFromText(row.collectedFrom));
        line.Opt(row.clockGap ? std::optional<long long>(*row.clockGap) : std::nullopt);
        line.Opt(Opt(decoded, static_cast<long long>(row.nRecords)));
        for (const std::array<int, 4>* counts : {&row.abnormal, &row.abnormalRecent}) {
            line.Opt(Opt(decoded, Sum(*counts)));
            for (std::size_t label = 0; label < 4; ++label) line.Opt(Opt(decoded, (*counts)[kGroupOfLabel[label]]));
        }
        const auto& n = row.newestAbnormal;
        line.Own(n ? TimeText(n->tTime) : "").Text(n ? n->strKind : "").Text(n ? n->strInfo : "");
        line.Opt(Opt(decoded, row.nPowerFailures)).Opt(Opt(decoded, row.nPowerFailuresRecent));
        line.Opt(Opt(decoded, row.nProtections)).Opt(Opt(decoded, row.nProtectionsRecent));
        const auto& t = row.temperature;
        auto opt = [](const std::optional<int>& v) { return v ? std::optional<long long>(*v) : std::nullopt; };
        line.Opt(Opt(t.has_value(), t ? t->nFormat : 0)).Own(t ? SensorsText(*t) : "");
        line.Opt(t ? opt(t->nBrightDown) : std::nullopt).Opt(t ? opt(t->nHighTemp) : std::nullopt);
        line.Opt(t ? opt(t->nPowerOff) : std::nullopt);
        line.Num(row.nOlderLogs);
        line.Text(row.logFile.empty() ? "" : row.logFile.lexically_relative(base).string());
        line.Text(row.report.empty() ? "" : row.report.lexically_relative(base).string());
        line.Text(row.strProblem);
    }
    return out;
}

std::string OverviewJson(const stOverview& o, const stOverviewFiles& files) {
    std::string out;
    out.reserve(1024 + o.rows.size() * 1500);
    JsonOut j(out);
    j.Open('{');
    j.Key("displays").Num(static_cast<long long>(o.rows.size()));
    j.Key("logs").Num(static_cast<long long>(o.nLogs));
    j.Key("olderLogs").Num(static_cast<long long>(OlderLogs(o)));
    j.Key("recentDays").Num(kRecentDays);
    j.Key("rules").Open('[');
    for (const stStatusRule& r : StatusRules()) {
        j.Open('{').Key("id").Str(r.id).Key("status").Str(StatusName(r.status));
        j.Key("threshold").Num(r.threshold).Key("label").Str(r.label).Key("text").Str(r.text).CloseWith('}');
    }
    j.CloseWith(']');
    j.Key("rows").Open('[');
    for (const stOverviewRow& row : o.rows) RowJson(j, row, files);
    j.CloseWith(']');
    j.Key("notes").Open('[');
    for (const std::string& note : o.notes) j.Str(note);
    j.CloseWith(']');
    j.CloseWith('}');
    out += '\n';
    return out;
}
