#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/Collection.h"
#include "archive/SqliteArchive.h"
#include "common/timeutil.h"
#include "logimage/LogImage.h"
#include "testsupport/TempDir.h"
#include "testsupport/TimeZone.h"

namespace fs = std::filesystem;
using namespace hist;
using logimage::Record;

namespace {

constexpr std::time_t kDay = 86400;
constexpr std::time_t kT0 = 1735689600;  // 2025-01-01

logimage::LogDescription Display(std::string serial, std::string model = "QM-X001") {
    logimage::LogDescription d;
    d.model = std::move(model);
    d.serial = std::move(serial);
    return d;
}

// Operation records at the given lap times; `code` tells records of one time apart.
std::vector<Record> Ops(std::vector<std::uint32_t> laps, std::uint16_t code = 7) {
    std::vector<Record> r;
    for (std::uint32_t lap : laps) r.push_back(Record::Operation(lap, 1, 2, code, 0, 0));
    return r;
}

stCollection Collect(const logimage::LogDescription& d, std::time_t when) {
    CQuendraLog log("/nonexistent-folder");
    EXPECT_EQ(log.ReadBytes(logimage::BuildLog(d)), 1);
    stCollection c;
    std::string error;
    EXPECT_TRUE(CollectionFromLog(log, when, "test.dat", c, error)) << error;
    return c;
}

// Everything an archive holds, as text: equal texts mean equal archives.
std::string Snapshot(IHistoryArchive& a) {
    std::vector<stDisplaySummary> displays;
    std::string error, text;
    EXPECT_TRUE(a.ListDisplays(displays, error)) << error;
    for (const stDisplaySummary& d : displays) {
        stDisplayHistory h;
        EXPECT_TRUE(a.History(d.display, std::nullopt, h, error)) << error;
        text += d.display.strModel + "/" + d.display.strSerial + " " + std::to_string(d.nCollections) + " " +
                std::to_string(d.nRecords) + ":";
        for (const stLogRecord& r : h.records)
            text += " " + std::to_string(r.nGroup) + "." + std::to_string(r.nKind) + "@" + std::to_string(r.dwLapTime);
        text += "\n";
    }
    return text;
}

class HistoryArchiveTest : public testsupport::TempDirTest {
protected:
    std::unique_ptr<CSqliteArchive> Open(ArchiveAccess access = ArchiveAccess::kWrite) {
        std::string error;
        auto a = CSqliteArchive::Open(dir / "archive.sqlite", access, error);
        EXPECT_TRUE(a) << error;
        return a;
    }
    std::string OpenError(const fs::path& path, ArchiveAccess access) {
        std::string error;
        EXPECT_FALSE(CSqliteArchive::Open(path, access, error));
        return error;
    }
    void SetPragma(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2((dir / "archive.sqlite").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
};

stAddResult Add(IHistoryArchive& a, const stCollection& c) {
    stAddResult r;
    std::string error;
    EXPECT_TRUE(a.Add(c, r, error)) << error;
    return r;
}

TEST_F(HistoryArchiveTest, MergesCollectionsIntoOneHistoryPerDisplay) {
    testsupport::ScopedTimeZone tz("UTC");
    struct Step {
        logimage::LogDescription log;
        std::size_t nNew;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::string laps;  // the history's records: group.kind@lap
    };
    const auto with = [](std::vector<Record> g0, std::vector<Record> g1 = {}, std::vector<Record> g2 = {}) {
        logimage::LogDescription d = Display("5K1");
        d.groups[0] = std::move(g0);
        d.groups[1] = std::move(g1);
        d.groups[2] = std::move(g2);
        return d;
    };
    const std::vector<Case> cases = {
        {"overlapping collections",
         {{with(Ops({10, 20, 30, 40})), 4}, {with(Ops({30, 40, 50, 60})), 2}},
         " 0.1@10 0.1@20 0.1@30 0.1@40 0.1@50 0.1@60"},
        // After the reset the display logs small lap times again, one of them
        // an exact repeat of an earlier record: a collection holding both
        // keeps both.
        {"clock reset",
         {{with(Ops({1000, 2000})), 2}, {with([] {
               auto r = Ops({1000, 2000});
               for (const Record& x : Ops({5, 1000, 7}, 7)) r.push_back(x);
               return r;
           }()),
           3}},
         " 0.1@1000 0.1@2000 0.1@5 0.1@1000 0.1@7"},
        // A key pressed twice in one second is two records; a later log that
        // still holds only one of them adds nothing.
        {"identical records in one second",
         {{with(Ops({50, 50, 60})), 3}, {with(Ops({50, 60, 70})), 1}},
         " 0.1@50 0.1@50 0.1@60 0.1@70"},
        // Records around an abnormal record move to an older group as newer
        // ones come: stored once, with the newest collection's group; the
        // running log's copy of a record is a record of its own.
        {"abnormal groups move",
         {{with({Record::Abnormal(100, 0, 3, 0, 0)}, {Record::Abnormal(100, 0, 3, 0, 0)}), 2},
          {with({}, {Record::Abnormal(200, 0, 4, 0, 0)}, {Record::Abnormal(100, 0, 3, 0, 0)}), 1}},
         " 0.4@100 2.4@100 1.4@200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir / "archive.sqlite");
        auto a = Open();
        ASSERT_TRUE(a);
        std::time_t when = kT0;
        for (const Step& s : c.steps) {
            const stAddResult r = Add(*a, Collect(s.log, when += kDay));
            EXPECT_EQ(r.nNewRecords, s.nNew);
        }
        EXPECT_EQ(Snapshot(*a), "QM-X001/5K1 " + std::to_string(c.steps.size()) + " " +
                                    std::to_string(std::count(c.laps.begin(), c.laps.end(), '@')) + ":" + c.laps +
                                    "\n");
    }
}

TEST_F(HistoryArchiveTest, SameLogTwiceAndSerialUnderTwoModels) {
    testsupport::ScopedTimeZone tz("Europe/Berlin");
    auto a = Open();
    ASSERT_TRUE(a);
    logimage::LogDescription x = Display("5K9", "QM-X001"), y = Display("5K9", "QM-X005");
    x.groups[0] = Ops({10, 20});
    y.groups[0] = Ops({10, 20, 30});
    const stCollection cx = Collect(x, kT0);
    EXPECT_TRUE(Add(*a, cx).bNewDisplay);
    const std::string once = Snapshot(*a);
    const stAddResult again = Add(*a, cx);
    EXPECT_TRUE(again.bKnownCollection);
    EXPECT_EQ(again.nNewRecords, 0u);
    EXPECT_EQ(Snapshot(*a), once);

    const stAddResult other = Add(*a, Collect(y, kT0));
    EXPECT_TRUE(other.bNewDisplay);
    EXPECT_EQ(other.nNewRecords, 3u);
    EXPECT_EQ(Snapshot(*a), "QM-X001/5K9 1 2: 0.1@10 0.1@20\nQM-X005/5K9 1 3: 0.1@10 0.1@20 0.1@30\n");

    // A history since a date: only records of that display time or later.
    stDisplayHistory h;
    std::string error;
    ASSERT_TRUE(a->History({"QM-X005", "5K9"}, cmn::DisplayToTime(20), h, error)) << error;
    ASSERT_EQ(h.records.size(), 2u);
    EXPECT_EQ(h.records.front().dwLapTime, 20u);
    EXPECT_EQ(h.summary.nRecords, 3u);
}

TEST_F(HistoryArchiveTest, AnAddStoppedBetweenStatementsLeavesTheArchiveAsItWas) {
    auto a = Open();
    ASSERT_TRUE(a);
    logimage::LogDescription first = Display("5K1"), second = Display("5K1");
    first.groups[0] = Ops({10, 20});
    first.groups[1] = {Record::Abnormal(15, 0, 3, 0, 0)};
    second.groups[0] = Ops({20, 30, 40});
    second.groups[2] = {Record::Abnormal(15, 0, 3, 0, 0)};
    Add(*a, Collect(first, kT0));
    const stCollection next = Collect(second, kT0 + kDay);
    const std::string before = Snapshot(*a);

    // Stopped after each statement in turn, until an add runs to its end.
    for (int stopAt = 1;; ++stopAt) {
        int statements = 0;
        a->SetStatementHook([&] { return ++statements < stopAt; });
        stAddResult r;
        std::string error;
        if (a->Add(next, r, error)) {
            EXPECT_GT(stopAt, 3);
            break;
        }
        EXPECT_NE(error.find("nothing was added"), std::string::npos) << error;
        EXPECT_EQ(Snapshot(*a), before) << "stopped after statement " << stopAt;
    }
    a->SetStatementHook({});
    const std::string after = Snapshot(*a);
    EXPECT_NE(after, before);

    // A process that dies in the middle of an add.
    logimage::LogDescription third = Display("5K1");
    third.groups[0] = Ops({50, 60, 70});
    const pid_t child = ::fork();
    if (child == 0) {
        std::string error;
        auto mine = CSqliteArchive::Open(dir / "archive.sqlite", ArchiveAccess::kWrite, error);
        int statements = 0;
        if (mine) mine->SetStatementHook([&]() -> bool { if (++statements == 2) ::_exit(9); return true; });
        stAddResult r;
        if (mine) mine->Add(Collect(third, kT0 + 2 * kDay), r, error);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 9);
    auto reopened = Open();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(Snapshot(*reopened), after);
    EXPECT_EQ(Add(*reopened, Collect(third, kT0 + 2 * kDay)).nNewRecords, 3u);
}

TEST_F(HistoryArchiveTest, SeveralProcessesAddAtOnce) {
    constexpr int kProcesses = 4, kLogsEach = 5;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = ::fork();
        if (child == 0) {
            std::string error;
            // Every process may be the one that makes the file.
            auto a = CSqliteArchive::Open(dir / "archive.sqlite", ArchiveAccess::kWrite, error);
            bool ok = a != nullptr;
            for (int i = 0; ok && i < kLogsEach; ++i) {
                logimage::LogDescription d = Display("5K" + std::to_string(p));
                d.groups[0] = logimage::LargeLog(2000).groups[0];
                for (Record& r : d.groups[0]) r.body[0] = static_cast<std::uint8_t>(r.body[0] + i);  // overlapping
                stAddResult r;
                ok = a->Add(Collect(d, kT0 + i), r, error);
            }
            logimage::LogDescription shared = Display("SHARED");
            shared.groups[0] = Ops({1, 2, 3});
            stAddResult r;
            ok = ok && a->Add(Collect(shared, kT0), r, error);
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto a = Open(ArchiveAccess::kRead);
    ASSERT_TRUE(a);
    std::vector<stDisplaySummary> displays;
    std::string error;
    ASSERT_TRUE(a->ListDisplays(displays, error)) << error;
    ASSERT_EQ(displays.size(), static_cast<std::size_t>(kProcesses + 1));
    for (const stDisplaySummary& d : displays)
        EXPECT_EQ(d.nCollections, d.display.strSerial == "SHARED" ? 1u : static_cast<std::size_t>(kLogsEach));
}

TEST_F(HistoryArchiveTest, RefusesWhatIsNotAWholeArchiveOfThisVersion) {
    const fs::path path = dir / "archive.sqlite";
    {
        auto a = Open();
        ASSERT_TRUE(a);
        Add(*a, Collect(logimage::LargeLog(20000), kT0));
    }
    SetPragma("PRAGMA user_version = 99");
    const std::string newer = testsupport::ReadFile(path);
    for (ArchiveAccess access : {ArchiveAccess::kRead, ArchiveAccess::kWrite})
        EXPECT_NE(OpenError(path, access).find("newer version"), std::string::npos);
    EXPECT_EQ(testsupport::ReadFile(path), newer);

    // A damaged page: refused before anything is written.
    SetPragma("PRAGMA user_version = " + std::to_string(CSqliteArchive::SchemaVersion()));
    std::string bytes = testsupport::ReadFile(path);
    ASSERT_GT(bytes.size(), 5u * 4096);
    for (std::size_t i = 3 * 4096 + 8; i < 3 * 4096 + 200; ++i) bytes[i] = static_cast<char>(0xA5);
    testsupport::WriteFile(path, bytes);
    EXPECT_NE(OpenError(path, ArchiveAccess::kWrite).find("damaged"), std::string::npos);
    EXPECT_EQ(testsupport::ReadFile(path), bytes);

    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"a text file", [](const fs::path& p) { testsupport::WriteFile(p, std::string(200, 'x')); }, "not a history archive"},
        {"another program's database",
         [](const fs::path& p) {
             sqlite3* db = nullptr;
             sqlite3_open(p.c_str(), &db);
             sqlite3_exec(db, "CREATE TABLE t (x)", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         "another program"},
        {"a link", [&](const fs::path& p) { fs::create_symlink(path, p); }, "symbolic link"},
        {"a FIFO", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }, "not a regular file"},
        {"a link as its log", [](const fs::path& p) {
             testsupport::WriteFile(p, "");
             fs::create_symlink("/tmp/elsewhere", p.string() + "-wal");
         }, "symbolic link"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path p = dir / ("other" + std::to_string(n++));
        c.make(p);
        const std::string was = fs::is_regular_file(fs::symlink_status(p)) ? testsupport::ReadFile(p) : "";
        for (ArchiveAccess access : {ArchiveAccess::kRead, ArchiveAccess::kWrite})
            EXPECT_NE(OpenError(p, access).find(c.error), std::string::npos);
        if (fs::is_regular_file(fs::symlink_status(p))) EXPECT_EQ(testsupport::ReadFile(p), was);
    }
    // In a folder that every user may write, an archive is made and used as
    // in any other; a companion file of another user there is refused.
    const fs::path shared = dir / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    {
        std::string error;
        auto a = CSqliteArchive::Open(shared / "a.sqlite", ArchiveAccess::kWrite, error);
        ASSERT_TRUE(a) << error;
        Add(*a, Collect(Display("5K1"), kT0));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(shared), {}), 1);  // nothing left of its making
    if (::geteuid() == 0) {
        testsupport::WriteFile(shared / "a.sqlite-wal", "");
        ASSERT_EQ(::chown((shared / "a.sqlite-wal").c_str(), 65534, 65534), 0);
        EXPECT_NE(OpenError(shared / "a.sqlite", ArchiveAccess::kRead).find("belongs to another user"), std::string::npos);
    }
    // Reading never makes a file.
    EXPECT_NE(OpenError(dir / "missing.sqlite", ArchiveAccess::kRead).find("no archive there"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "missing.sqlite"));
}

}  // namespace
