// The Dakoral front through its exports: LAN ports through the real
// libLanDakoral.so and serial lines, against display-sim (each test on a
// loopback address or pseudo-terminal of its own) and a scripted pseudo-terminal.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <testsupport/ScriptedPeer.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>

#include <chrono>
#include <cstring>
#include <optional>

#include "Dakoral.h"
#include "QuendraControl.h"

using testsupport::SimProcess;
using Bytes = std::vector<std::uint8_t>;

namespace {

// One folder for the whole process: the LAN library reads its settings, writes
// its log and takes its host locks there from its first load on.
class FrontEnv : public ::testing::Environment {
public:
    void SetUp() override {
        m_dir = std::make_unique<testsupport::TempDir>();
        std::filesystem::create_directories(m_dir->Path() / "locks");
        ::setenv("QUENDRA_DAKORAL_DIR", m_dir->Path().c_str(), 1);
        ::setenv("QUENDRA_LOCK_DIR", (m_dir->Path() / "locks").c_str(), 1);
    }
    void TearDown() override { m_dir.reset(); }

    std::unique_ptr<testsupport::TempDir> m_dir;
};

FrontEnv* const g_env = [] {
    auto* e = new FrontEnv;
    ::testing::AddGlobalTestEnvironment(e);
    return e;
}();

std::filesystem::path Dir() { return g_env->m_dir->Path(); }

Bytes ReadSample(const char* name) {
    const std::string s = testsupport::ReadFile(std::filesystem::path(SAMPLE_LOGS_DIR) / name);
    return Bytes(s.begin(), s.end());
}

double SecondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// One request as the report program makes it: a 1,152-byte buffer and a size of 1,152.
struct Result {
    int rc = -1;
    int size = -1;
    Bytes data;
};
Result Get(DAKR_HANDLE h, std::uint8_t cmd, const Bytes& params = {}) {
    Result r;
    unsigned char buf[DAKR_MAX_REPLY];
    r.size = DAKR_MAX_REPLY;
    r.rc = DAKR_GetData(h, &cmd, params.empty() ? nullptr : params.data(), buf, static_cast<int>(params.size()),
                        &r.size);
    if (r.rc == DAKR_OK) r.data.assign(buf, buf + std::min(r.size, DAKR_MAX_REPLY));
    return r;
}

Bytes Le(std::size_t offset, std::size_t length) {
    return {static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(offset >> 8),
            static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8)};
}

// Start code, 1,024-byte blocks, end code.
std::optional<Bytes> ReadImage(DAKR_HANDLE h, std::uint8_t start, std::uint8_t block, std::uint8_t end) {
    const Result s = Get(h, start);
    if (s.rc != DAKR_OK || s.size != 2) return std::nullopt;
    const std::size_t n = s.data[0] | (s.data[1] << 8);
    Bytes image;
    for (std::size_t off = 0; off < n; off += 1024) {
        const std::size_t len = std::min<std::size_t>(1024, n - off);
        const Result b = Get(h, block, Le(off, len));
        if (b.rc != DAKR_OK || b.size != static_cast<int>(len)) return std::nullopt;
        image.insert(image.end(), b.data.begin(), b.data.end());
    }
    if (Get(h, end).rc != DAKR_OK) return std::nullopt;
    return image;
}

bool EnterBinaryMode(const std::string& port) {
    QNCTRL_HANDLE t = QNCTRL_OpenIF(port.c_str(), "", "", 1, 0, 3, 0, 0, 0, nullptr);
    if (!t) return false;
    const bool ok = QNCTRL_SetCommand(t, "Command", "FIRM0000", nullptr, 0, 0) == QNCTRL_OK;
    QNCTRL_Close(t);
    return ok;
}

// An NVRAM image whose blocks all differ, in a file for display-sim.
Bytes WriteNvram(const std::filesystem::path& file) {
    Bytes image(4096);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 10));
    testsupport::WriteFile(file, std::string(image.begin(), image.end()));
    return image;
}

// A display that answers every binary request 1.5 s late, read with a reply
// time of 1 s and three attempts: a call may fail, but never return the
// data another request asked for.
void ExpectNoCallReturnsAnotherRequestsData(const std::string& port, const Bytes& image) {
    DAKR_HANDLE h = DAKR_OpenIF(port.c_str(), nullptr, nullptr, 0, 1, 3, 115200, 0, nullptr);
    ASSERT_NE(h, nullptr);
    for (std::size_t offset : {0, 1024}) {
        const auto start = std::chrono::steady_clock::now();
        const Result r = Get(h, 0x45, Le(offset, 1024));
        EXPECT_LT(SecondsSince(start), 12.0);
        if (r.rc == DAKR_OK) {
            EXPECT_EQ(r.data, Bytes(image.begin() + offset, image.begin() + offset + 1024))
                << "block at " << offset;
        }
    }
    EXPECT_EQ(DAKR_Close(h), 1);
}

}  // namespace

// The three calls of the report program, and the reason of a failure.
TEST(DakoralFront, ExportsTheThreeCallsAndTheReason) {
    void* lib = ::dlopen(DAKORAL_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    for (const char* name : {"DAKR_OpenIF", "DAKR_Close", "DAKR_GetData", "DAKR_GetLastError"})
        EXPECT_NE(::dlsym(lib, name), nullptr) << name;
    EXPECT_EQ(::dlsym(lib, "DAKRIF_OpenIF"), nullptr);
    ::dlclose(lib);
}

TEST(DakoralFront, LanThroughTheLanLibrary) {
    const testsupport::LoopbackAddress ip, silentIp;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--log", std::string(SAMPLE_LOGS_DIR) + "/healthy.dat"}));
    const std::string binPort = "LAN" + ip.Text() + ":18081";
    const char* bin = binPort.c_str();

    // Not in binary mode yet: refused.
    DAKR_HANDLE h = DAKR_OpenIF(bin, nullptr, nullptr, 0, 1, 1, 115200, 0, nullptr);
    ASSERT_NE(h, nullptr);
    Result r = Get(h, 0x40);
    EXPECT_NE(r.rc, DAKR_OK);
    EXPECT_EQ(r.size, 0);
    EXPECT_EQ(Get(h, 0xF0, {0}).rc, DAKR_OK);  // accepted in any mode
    EXPECT_EQ(DAKR_Close(h), 1);

    ASSERT_TRUE(EnterBinaryMode("LAN" + ip.Text() + ":10008"));
    h = DAKR_OpenIF(bin, nullptr, nullptr, 0, 5, 3, 115200, 0, nullptr);
    ASSERT_NE(h, nullptr);
    const auto image = ReadImage(h, 0x40, 0x41, 0x42);
    ASSERT_TRUE(image);
    EXPECT_EQ(*image, ReadSample("healthy.dat"));

    // A reply longer than the size given on entry: only that much is copied,
    // the real length is reported.
    unsigned char buf[32];
    std::memset(buf, 0xEE, sizeof buf);
    const std::uint8_t cmd = 0x41;
    const Bytes p = Le(0, 16);
    int size = 3;
    EXPECT_EQ(DAKR_GetData(h, &cmd, p.data(), buf, 4, &size), DAKR_OK);
    EXPECT_EQ(size, 16);
    EXPECT_EQ(buf[0], (*image)[0]);
    EXPECT_EQ(buf[2], (*image)[2]);
    EXPECT_EQ(buf[3], 0xEE);

    r = Get(h, 0x41, Le(0, 0));  // refused: length 0
    EXPECT_NE(r.rc, DAKR_OK);
    EXPECT_EQ(r.size, 0);
    r = Get(h, 0xF0, {0});
    EXPECT_EQ(r.rc, DAKR_OK);
    EXPECT_EQ(r.size, 0);
    EXPECT_EQ(DAKR_Close(h), 1);
    EXPECT_EQ(DAKR_Close(h), 0);
    EXPECT_EQ(Get(h, 0x40).rc, DAKR_ERR_HANDLE);

    // No display on that port: the LAN library's connection code comes through.
    h = DAKR_OpenIF(("LAN" + silentIp.Text() + ":18081").c_str(), nullptr, nullptr, 0, 1, 1, 115200, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h, 0x40).rc, 7);
    EXPECT_EQ(DAKR_Close(h), 1);
}

TEST(DakoralFront, SerialLineReadsAWholeLogBlockByBlock) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--serial", "--log", std::string(SAMPLE_LOGS_DIR) + "/large.dat"}));
    const std::string pty = sim.Line();
    testsupport::WriteFile(Dir() / "Dakoral.ini", "[Ports]\r\nCOM9=" + pty + "\r\n");

    ASSERT_TRUE(EnterBinaryMode(pty));
    DAKR_HANDLE h = DAKR_OpenIF("COM9", nullptr, nullptr, 0, 5, 3, 115200, 0, nullptr);
    ASSERT_NE(h, nullptr);
    const auto image = ReadImage(h, 0x40, 0x41, 0x42);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), 65535u);
    EXPECT_EQ(*image, ReadSample("large.dat"));
    const Result nv = Get(h, 0x44);
    EXPECT_EQ(nv.rc, DAKR_OK);
    ASSERT_EQ(nv.size, 2);
    EXPECT_EQ(nv.data[0] | (nv.data[1] << 8), 4096);
    EXPECT_EQ(Get(h, 0x46).rc, DAKR_OK);
    EXPECT_EQ(DAKR_Close(h), 1);

    // A reply time beyond the millisecond range is a long wait, not none.
    h = DAKR_OpenIF("COM9", nullptr, nullptr, 0, 3000000, 1, 115200, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h, 0x44).size, 2);
    EXPECT_EQ(Get(h, 0x46).rc, DAKR_OK);
    EXPECT_EQ(Get(h, 0xF0, {0}).rc, DAKR_OK);
    EXPECT_EQ(DAKR_Close(h), 1);

    // The line is back in text framing.
    QNCTRL_HANDLE t = QNCTRL_OpenIF(pty.c_str(), "", "", 1, 0, 3, 0, 0, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(QNCTRL_SetCommand(t, "Command", "SRLG0001", nullptr, 0, 0), QNCTRL_OK);
    QNCTRL_Close(t);
    std::filesystem::remove(Dir() / "Dakoral.ini");
}

TEST(DakoralFront, SerialRetriesDamagedRepliesAndGivesUpOnSilence) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--serial", "--corrupt", "bin:first:1", "--drop", "bin:every:4"}));
    const std::string pty = sim.Line();
    ASSERT_TRUE(EnterBinaryMode(pty));
    DAKR_HANDLE h = DAKR_OpenIF(pty.c_str(), nullptr, nullptr, 0, 1, 3, 115200, 0, nullptr);
    ASSERT_NE(h, nullptr);
    // Reply 1 is damaged, reply 2 good.
    Result r = Get(h, 0x44);
    EXPECT_EQ(r.rc, DAKR_OK);
    EXPECT_EQ(r.size, 2);
    // Reply 3 is a refusal each time (past the image): no data, size 0.
    r = Get(h, 0x45, Le(60000, 16));
    EXPECT_NE(r.rc, DAKR_OK);
    EXPECT_EQ(r.size, 0);
    EXPECT_EQ(DAKR_GetLastError(nullptr, 0), DAKR_ERR_REFUSED);
    EXPECT_EQ(DAKR_Close(h), 1);

    // One attempt of 1 s: the dropped reply fails the call in about that time.
    h = DAKR_OpenIF(pty.c_str(), nullptr, nullptr, 0, 1, 1, 115200, 0, nullptr);
    ASSERT_NE(h, nullptr);
    Get(h, 0x44);  // reply 6
    Get(h, 0x44);  // reply 7
    const auto t = std::chrono::steady_clock::now();
    r = Get(h, 0x44);  // reply 8: dropped
    EXPECT_NE(r.rc, DAKR_OK);
    EXPECT_GE(SecondsSince(t), 0.9);
    EXPECT_LT(SecondsSince(t), 3.0);
    EXPECT_EQ(DAKR_GetLastError(nullptr, 0), DAKR_ERR_TIMEOUT);
    EXPECT_EQ(Get(h, 0xF0, {0}).rc, DAKR_OK);
    EXPECT_EQ(DAKR_Close(h), 1);
}

TEST(DakoralFront, LateRepliesOverTcpAreNeverTakenForAnotherRequest) {
    testsupport::TempDir dir;
    const Bytes image = WriteNvram(dir / "nvram.bin");
    const testsupport::LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--nvram", (dir / "nvram.bin").string(), "--delay", "bin:every:1",
                           "--delay-ms", "1500"}));
    ASSERT_TRUE(EnterBinaryMode("LAN" + ip.Text() + ":10008"));
    ExpectNoCallReturnsAnotherRequestsData("LAN" + ip.Text() + ":18081", image);
}

TEST(DakoralFront, LateRepliesOnASerialLineAreNeverTakenForAnotherRequest) {
    testsupport::TempDir dir;
    const Bytes image = WriteNvram(dir / "nvram.bin");
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--serial", "--nvram", (dir / "nvram.bin").string(), "--delay", "bin:every:1",
                           "--delay-ms", "1500"}));
    ASSERT_TRUE(EnterBinaryMode(sim.Line()));
    ExpectNoCallReturnsAnotherRequestsData(sim.Line(), image);
}

TEST(DakoralFront, ScriptedLineShortHalfAndGarbageReplies) {
    const std::string half("\xAA\x40\x03\x00\x00\x12", 6);
    const std::string garbage("\x01\x02\x55\x13\x40\x03\x00", 7);
    testsupport::ScriptedPeer peer({std::string("\xAA\x40\x03\x00\x00\x12\x34\xCC", 8), half, half, garbage});
    ASSERT_TRUE(peer.Ok());
    int cancel = 0;
    DAKR_HANDLE h = DAKR_OpenIF(peer.Path().c_str(), "ignored", "ignored", 0, 1, 2, 115200, 0, &cancel);
    ASSERT_NE(h, nullptr);

    // A two-byte reply is reported with its real length.
    Result r = Get(h, 0x40);
    EXPECT_EQ(r.rc, DAKR_OK);
    EXPECT_EQ(r.size, 2);
    EXPECT_EQ(r.data, (Bytes{0x12, 0x34}));
    // Half a reply, twice: both attempts run out of time.
    const auto t = std::chrono::steady_clock::now();
    r = Get(h, 0x40);
    EXPECT_NE(r.rc, DAKR_OK);
    EXPECT_EQ(r.size, 0);
    EXPECT_GE(SecondsSince(t), 1.8);
    EXPECT_LT(SecondsSince(t), 4.0);
    // Garbage, then silence.
    EXPECT_NE(Get(h, 0x40).rc, DAKR_OK);
    // The caller's cancel flag stops a call before anything is sent.
    cancel = 1;
    EXPECT_NE(Get(h, 0x40).rc, DAKR_OK);
    cancel = 0;
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 5u);
    for (const auto& req : requests) EXPECT_EQ(req, std::string("\xAA\x40\x00\x00\x15", 5));

    // Bad arguments are refused without a crash and without sending.
    unsigned char buf[8];
    int size = 8;
    const std::uint8_t cmd = 0x41;
    EXPECT_EQ(DAKR_GetData(h, nullptr, nullptr, buf, 0, &size), DAKR_ERR_FAILED);
    EXPECT_EQ(DAKR_GetData(h, &cmd, nullptr, nullptr, 0, &size), DAKR_ERR_FAILED);
    EXPECT_EQ(DAKR_GetData(h, &cmd, nullptr, buf, 0, nullptr), DAKR_ERR_FAILED);
    EXPECT_EQ(DAKR_GetData(h, &cmd, nullptr, buf, 4, &size), DAKR_ERR_FAILED);
    EXPECT_EQ(DAKR_GetData(h, &cmd, buf, buf, -1, &size), DAKR_ERR_FAILED);
    int local = 0;
    EXPECT_EQ(DAKR_GetData(&local, &cmd, nullptr, buf, 0, &size), DAKR_ERR_HANDLE);
    EXPECT_EQ(DAKR_Close(nullptr), 0);
    EXPECT_EQ(peer.Requests().size(), 5u);
    EXPECT_EQ(DAKR_Close(h), 1);

    // Ports that are neither LAN nor serial, devices that cannot be opened, unknown rates.
    EXPECT_EQ(DAKR_OpenIF(nullptr, nullptr, nullptr, 0, 1, 1, 115200, 0, nullptr), nullptr);
    EXPECT_EQ(DAKR_OpenIF("USB1", nullptr, nullptr, 0, 1, 1, 115200, 0, nullptr), nullptr);
    EXPECT_EQ(DAKR_OpenIF((Dir() / "none").c_str(), nullptr, nullptr, 0, 1, 1, 115200, 0, nullptr), nullptr);
    EXPECT_EQ(DAKR_OpenIF(peer.Path().c_str(), nullptr, nullptr, 0, 1, 1, 1234, 0, nullptr), nullptr);
}
