// quendra-acquire --hosts ... --overview: the fleet's overview is written at
// the end of the run, with the display that could not be reached as a row
// of its own.
#include <gtest/gtest.h>
#include <testsupport/ChildProcess.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>

#include <algorithm>

#include "cli/AcquireCli.h"

namespace fs = std::filesystem;

namespace {

class FleetOverviewTest : public testsupport::TempDirTest {};

TEST_F(FleetOverviewTest, UnreachedDisplayIsARowOfItsOwn) {
    testsupport::LoopbackAddress live, dead;
    ASSERT_FALSE(live.Text().empty());
    ASSERT_FALSE(dead.Text().empty());
    testsupport::SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", live.Text(), "--account", "svc", "--password", "pw"}));
    Write("password", "pw\n");
    Write("hosts", live.Text() + " 0 svc\n" + dead.Text() + " 0 svc\n");
    fs::create_directories(dir / "scratch");
    std::string out, err;
    EXPECT_EQ(testsupport::RunChild({QUENDRA_ACQUIRE_EXE, "get-logs", "--hosts", (dir / "hosts").string(), "--out",
                                     (dir / "out").string(), "--password-file", (dir / "password").string(),
                                     "--overview"},
                                    testsupport::ScratchChildOptions(dir / "scratch"), out, err),
              ACQCLI_COMM)
        << err;
    EXPECT_NE(err.find("quendra-acquire: overview: " + (dir / "out" / "overview.html").string()), std::string::npos)
        << err;

    const std::string csv = Read("out/overview.csv");
    EXPECT_NE(csv.find("\r\ncritical,not-collected," + dead.Text() + ",,,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("," + live.Text() + ",QM-X003,QX30001001,"), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
    EXPECT_TRUE(fs::exists(dir / "out" / "overview-reports" / "QM-X003_QX30001001.html"));
    EXPECT_NE(Read("out/overview.html").find("<strong>" + dead.Text() + "</strong>"), std::string::npos);
}

}  // namespace
