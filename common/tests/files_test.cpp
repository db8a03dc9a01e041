#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

#include <fstream>

#include "common/paths.h"
#include "common/textfile.h"
#include <testsupport/TempDir.h>

using namespace cmn;
namespace fs = std::filesystem;

namespace {
std::string Slurp(const fs::path& p) {
    std::string s;
    EXPECT_TRUE(ReadFileBytes(p, s));
    return s;
}
}  // namespace

TEST(Paths, ProgramDirIsTheFolderOfThisTest) {
    fs::path dir = ProgramDir();
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_TRUE(fs::exists(dir / "common_tests"));
}

TEST(Paths, JoinAcceptsBothSeparators) {
    EXPECT_EQ(JoinPath("/opt/q", "Model\\QMX001"), fs::path("/opt/q/Model/QMX001"));
    EXPECT_EQ(JoinPath("/opt/q", "/abs/x"), fs::path("/abs/x"));
    EXPECT_EQ(JoinPath("/opt/q", "a.csv"), fs::path("/opt/q/a.csv"));
}

TEST(Paths, FindFileExactThenWithoutCase) {
    testsupport::TempDir dir;
    std::ofstream(dir / "LogType.csv") << "x";
    std::ofstream(dir / "inputname.CSV") << "y";
    EXPECT_EQ(FindFileNoCase(dir.Path(), "LogType.csv"), dir / "LogType.csv");
    EXPECT_EQ(FindFileNoCase(dir.Path(), "InputName.csv"), dir / "inputname.CSV");
    EXPECT_FALSE(FindFileNoCase(dir.Path(), "Abnormal.csv").has_value());
    EXPECT_FALSE(FindFileNoCase(dir.Path(), "").has_value());
    EXPECT_FALSE(FindFileNoCase(dir / "missing", "x").has_value());
    EXPECT_EQ(ResolveNoCase(dir / "INPUTNAME.csv"), dir / "inputname.CSV");
    EXPECT_EQ(ResolveNoCase(dir / "none.csv"), dir / "none.csv");
}

TEST(TextFile, NewlinesBecomeCrLf) {
    testsupport::TempDir dir;
    TextFileWriter w;
    ASSERT_TRUE(w.Open(dir / "r.txt"));
    EXPECT_TRUE(w.Write("a\nb\n\n"));
    EXPECT_TRUE(w.WriteRaw("raw\n"));
    EXPECT_TRUE(w.Write("\x81\x60"));
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(Slurp(dir / "r.txt"), std::string("a\r\nb\r\n\r\nraw\n\x81\x60"));
    EXPECT_FALSE(w.Write("closed"));
    EXPECT_FALSE(w.Open(dir / "no" / "such" / "dir.txt"));
}

TEST(TextFile, WriteErrorsAreReported) {
    TextFileWriter w;
    if (!w.Open("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::string big(1 << 20, 'x');
    w.Write(big);
    EXPECT_FALSE(w.Close());
}

TEST(TextFile, AtomicWriteReplacesWholeOrNothing) {
    testsupport::TempDir dir;
    fs::path p = dir / "out.html";
    ASSERT_TRUE(WriteFileAtomic(p, "first"));
    ::chmod(p.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic(p, std::string("second\0x", 8)));
    EXPECT_EQ(Slurp(p), std::string("second\0x", 8));
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // A folder that does not exist: nothing is written and nothing is left.
    EXPECT_FALSE(WriteFileAtomic(dir / "missing" / "x", "data"));
    // No temporary files are left beside the target.
    int entries = 0;
    for (auto& e : fs::directory_iterator(dir.Path())) (void)e, ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(TextFile, AtomicWriterReplacesOnlyOnCommit) {
    testsupport::TempDir dir;
    const fs::path p = dir / "report.txt";
    ASSERT_TRUE(WriteFileAtomic(p, "old"));
    {
        AtomicFileWriter w;
        ASSERT_TRUE(w.Open(p));
        EXPECT_TRUE(w.Write("new "));
        EXPECT_TRUE(w.Write("text"));
        EXPECT_EQ(Slurp(p), "old");  // nothing changes before the commit
    }
    // Dropped without a commit: the old file stays and no temporary file is left.
    EXPECT_EQ(Slurp(p), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

    AtomicFileWriter w;
    EXPECT_FALSE(w.Write("not open"));
    EXPECT_FALSE(w.Commit());
    ASSERT_TRUE(w.Open(p));
    EXPECT_TRUE(w.Write("new text"));
    EXPECT_TRUE(w.Commit());
    EXPECT_EQ(Slurp(p), "new text");
    EXPECT_FALSE(w.Commit());  // once only
    EXPECT_FALSE(w.Open(dir / "missing" / "x"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

    EXPECT_EQ(ToCrLf("a\nb\n"), "a\r\nb\r\n");
    std::string out = "x";
    AppendCrLf(out, "\n\ny");
    EXPECT_EQ(out, "x\r\n\r\ny");
}

TEST(TextFile, ReadLimits) {
    testsupport::TempDir dir;
    ASSERT_TRUE(WriteFileAtomic(dir / "f", std::string(1000, 'a')));
    std::string s;
    EXPECT_FALSE(ReadFileBytes(dir / "f", s, 999));
    EXPECT_TRUE(s.empty());
    EXPECT_TRUE(ReadFileBytes(dir / "f", s, 1000));
    EXPECT_EQ(s.size(), 1000u);
    EXPECT_FALSE(ReadFileBytes(dir / "none", s));
    // Not regular files: refused at once instead of blocking or never ending.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ReadFileBytes(dir / "fifo", s));
    EXPECT_FALSE(ReadFileBytes("/dev/zero", s));
    EXPECT_FALSE(ReadFileBytes(dir.Path(), s));
}

// Whatever a user of a shared folder planted at a path, opening it never
// follows a link, never waits, and never touches anything but a regular file.
TEST(SharedFile, OnlyRegularFilesOpenAndNothingWaits) {
    testsupport::TempDir dir;
    std::ofstream(dir / "plain") << "abc";
    std::ofstream(dir / "target") << "keep";
    fs::create_symlink(dir / "target", dir / "link");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    struct Case {
        fs::path path;
        int flags;
        bool opens;
        const char* kind;
    };
    const Case cases[] = {
        {dir / "plain", O_RDWR, true, ""},
        {dir / "new", O_RDWR | O_CREAT | O_EXCL, true, ""},
        {dir / "link", O_RDWR | O_TRUNC, false, "a symbolic link"},
        {dir / "fifo", O_RDONLY, false, "a FIFO"},
        {dir / "fifo", O_RDWR, false, "a FIFO"},
        {dir / "fifo", O_WRONLY | O_APPEND, false, "a FIFO"},
        {dir / "folder", O_RDONLY, false, "a folder"},
        {"/dev/null", O_WRONLY, false, "a character device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        const stSharedFile f = OpenSharedFile(c.path, c.flags);
        EXPECT_EQ(f.fd >= 0, c.opens) << f.error;
        if (f.fd >= 0) {
            EXPECT_EQ(::fcntl(f.fd, F_GETFL) & O_NONBLOCK, 0);
            ::close(f.fd);
        } else {
            EXPECT_EQ(f.error, c.path.string() + ": is " + c.kind + ", not a regular file");
        }
    }
    EXPECT_EQ(Slurp(dir / "target"), "keep");
    const stSharedFile truncated = OpenSharedFile(dir / "plain", O_WRONLY | O_TRUNC);
    ASSERT_GE(truncated.fd, 0);
    ::close(truncated.fd);
    EXPECT_EQ(Slurp(dir / "plain"), "");
}

// Every kind of path a user may name for an output: a regular file is made or
// replaced whole, a link keeps pointing at the file it replaced, a device or
// FIFO is written in place and stays what it was, and the rest is refused
// with its kind named ("-" is tested through the tools that print with it). Devices are made in the scratch
// folder (as root), never taken from /dev.
TEST(OutputPath, EveryKindOfPath) {
    testsupport::TempDir scratch;
    const fs::path dir = scratch.Path();
    const bool root = ::geteuid() == 0;
    std::ofstream(dir / "regular") << "old";
    ::chmod((dir / "regular").c_str(), 0640);
    std::ofstream(dir / "target") << "old";
    fs::create_symlink("target", dir / "link");
    fs::create_symlink("link", dir / "link-to-link");
    fs::create_symlink(dir / "absent", dir / "dangling");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    fs::create_symlink("folder", dir / "link-to-folder");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (dir / "socket").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    const bool devices = root && ::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                         ::mknod((dir / "block").c_str(), S_IFBLK | 0600, makedev(7, 0)) == 0;
    if (devices) fs::create_symlink("null", dir / "link-to-null");
    // In a folder anybody may write, what another user planted is not used.
    fs::create_directory(dir / "shared");
    ::chmod((dir / "shared").c_str(), 01777);
    const bool planted = root && ::mkfifo((dir / "shared" / "fifo").c_str(), 0666) == 0 &&
                         ::lchown((dir / "shared" / "fifo").c_str(), 65534, 65534) == 0 &&
                         ::symlink("../target", (dir / "shared" / "link").c_str()) == 0 &&
                         ::lchown((dir / "shared" / "link").c_str(), 65534, 65534) == 0;

    struct Case {
        const char* name;
        bool needs;           // the case could be set up
        const char* written;  // the file that then holds the bytes; null: in place or refused
        const char* kindAfter;
        const char* refusal;  // null: written
    };
    const Case cases[] = {
        {"new", true, "new", "a regular file", nullptr},
        {"regular", true, "regular", "a regular file", nullptr},
        {"link", true, "target", "a symbolic link", nullptr},
        {"link-to-link", true, "target", "a symbolic link", nullptr},
        {"dangling", true, "absent", "a symbolic link", nullptr},
        {"fifo", true, nullptr, "a FIFO", nullptr},
        {"null", devices, nullptr, "a character device", nullptr},
        {"link-to-null", devices, nullptr, "a symbolic link", nullptr},
        {"folder", true, nullptr, "a folder", "is a folder; only a file"},
        {"link-to-folder", true, nullptr, "a symbolic link", "is a link to a folder"},
        {"socket", true, nullptr, "a socket", "is a socket; only a file"},
        {"block", devices, nullptr, "a block device", "is a block device; only a file"},
        {"shared/fifo", planted, nullptr, "a FIFO", "is a FIFO of another user in a folder others may write"},
        {"shared/link", planted, nullptr, "a symbolic link", "is a symbolic link of another user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.needs) {
            std::printf("skipped %s: needs root\n", c.name);
            continue;
        }
        const fs::path path = dir / c.name;
        // A FIFO is read from the other end once written.
        const int reader = std::string(c.name) == "fifo" ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        std::string error;
        const bool ok = WriteFileAtomic(path, "new\n", &error);
        EXPECT_EQ(ok, c.refusal == nullptr) << error;
        if (c.refusal != nullptr) {
            EXPECT_EQ(error.rfind(path.string() + ": " + c.refusal, 0), 0u) << error;
        }
        EXPECT_EQ(DescribePathKind(path), c.kindAfter);
        if (c.written != nullptr) {
            EXPECT_EQ(Slurp(dir / c.written), "new\n");
        }
        if (reader >= 0) {
            char buf[16] = {};
            EXPECT_EQ(::read(reader, buf, sizeof buf), 4);
            EXPECT_STREQ(buf, "new\n");
            ::close(reader);
        }
    }
    struct stat st {};
    ASSERT_EQ(::stat((dir / "regular").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    for (const auto& e : fs::recursive_directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    ::close(sock);
}
