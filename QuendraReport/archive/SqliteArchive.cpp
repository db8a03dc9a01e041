#include "archive/SqliteArchive.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <map>
#include <tuple>
#include <unordered_map>

#include "archive/RecordKey.h"
#include "common/textfile.h"
#include "common/timeutil.h"
#include "common/userfiles.h"

namespace fs = std::filesystem;

namespace hist {

namespace {

// "QnHA" (history archive) in the file's header.
constexpr std::uint32_t kApplicationId = 0x516E4841;

// Each step takes the schema from the version before it to its own
// (step 1 from an empty file). A new version adds a step; the steps that
// are here never change.
const char* const kMigrations[] = {
    // 1: displays, collections, records.
    "CREATE TABLE display ("
    "  id INTEGER PRIMARY KEY,"
    "  model BLOB NOT NULL,"
    "  serial BLOB NOT NULL,"
    "  UNIQUE (serial, model));"
    "CREATE TABLE collection ("
    "  id INTEGER PRIMARY KEY,"
    "  display INTEGER NOT NULL REFERENCES display (id),"
    "  collected INTEGER NOT NULL,"
    "  added INTEGER NOT NULL,"
    "  source BLOB NOT NULL,"
    "  digest INTEGER NOT NULL,"
    "  size INTEGER NOT NULL,"
    "  file_version INTEGER NOT NULL,"
    "  info BLOB NOT NULL,"
    "  display_clock TEXT NOT NULL,"
    "  temperature BLOB NOT NULL,"
    "  records INTEGER NOT NULL,"
    "  new_records INTEGER NOT NULL,"
    "  UNIQUE (display, digest, size));"
    "CREATE TABLE record ("
    "  display INTEGER NOT NULL,"
    "  section INTEGER NOT NULL,"
    "  lap INTEGER NOT NULL,"
    "  fields INTEGER NOT NULL,"
    "  occurrence INTEGER NOT NULL,"
    "  grp INTEGER NOT NULL,"
    "  grp_collected INTEGER NOT NULL,"
    "  collection INTEGER NOT NULL,"
    "  position INTEGER NOT NULL,"
    "  PRIMARY KEY (display, section, lap, fields, occurrence)) WITHOUT ROWID;"
    "CREATE INDEX record_by_fields ON record (display, fields);",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

// Lap times further apart than this are read from the file as separate
// ranges, so that a log whose clock was reset does not read every record
// between its two eras.
constexpr std::int64_t kRangeGap = 7 * 86400;

constexpr const char* kCompanions[] = {"-wal", "-shm", "-journal"};
constexpr std::size_t kHeaderSize = 100;

std::uint32_t BigEndian32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

std::string Named(const fs::path& path, const std::string& what) { return path.string() + ": " + what; }

// The database's message for a failed call, in words a user can act on.
std::string DbProblem(sqlite3* db, int rc) {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return "another program kept the archive busy for " + std::to_string(kArchiveBusyWaitMs / 1000) +
               " s; try again";
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        return std::string("the archive is damaged (") + sqlite3_errstr(rc) + ")";
    const char* msg = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    return msg != nullptr ? msg : sqlite3_errstr(rc);
}

// ---- statements -------------------------------------------------------------

class CStatement {
public:
    CStatement(sqlite3* db, const char* sql) : m_db(db) {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~CStatement() { sqlite3_finalize(m_stmt); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    bool Ok() const { return m_rc == SQLITE_OK || m_rc == SQLITE_ROW || m_rc == SQLITE_DONE; }
    int Rc() const { return m_rc; }

    CStatement& Bind(int i, std::int64_t v) {
        Check(sqlite3_bind_int64(m_stmt, i, v));
        return *this;
    }
    CStatement& Bind(int i, const std::string& bytes) {
        Check(sqlite3_bind_blob(m_stmt, i, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()),
                                SQLITE_STATIC));
        return *this;
    }
    CStatement& Bind(int i, const std::vector<std::uint8_t>& bytes) {
        Check(sqlite3_bind_blob(m_stmt, i, bytes.empty() ? static_cast<const void*>("") : bytes.data(),
                                static_cast<int>(bytes.size()), SQLITE_STATIC));
        return *this;
    }
    CStatement& BindText(int i, const std::string& text) {
        Check(sqlite3_bind_text(m_stmt, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC));
        return *this;
    }

    // A row (true), or the end or a failure (false; Ok() tells which).
    bool Next() {
        if (!Ok() || m_stmt == nullptr) return false;
        m_rc = sqlite3_step(m_stmt);
        return m_rc == SQLITE_ROW;
    }
    // Runs a statement that returns no row; then it can be bound and run again.
    bool Run() {
        Next();
        const bool done = m_rc == SQLITE_DONE;
        if (m_stmt != nullptr) sqlite3_reset(m_stmt);
        if (done) m_rc = SQLITE_OK;
        return done;
    }
    void Reset() {
        if (m_stmt != nullptr) sqlite3_reset(m_stmt);
        if (m_rc == SQLITE_ROW || m_rc == SQLITE_DONE) m_rc = SQLITE_OK;
    }

    std::int64_t Int(int col) const { return sqlite3_column_int64(m_stmt, col); }
    std::string Bytes(int col) const {
        const void* p = sqlite3_column_blob(m_stmt, col);
        const int n = sqlite3_column_bytes(m_stmt, col);
        return p != nullptr && n > 0 ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n))
                                     : std::string();
    }
    std::string Problem() const { return DbProblem(m_db, m_rc); }

private:
    void Check(int rc) {
        if (rc != SQLITE_OK && Ok()) m_rc = rc;
    }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

bool Exec(sqlite3* db, const char* sql, std::string& problem) {
    char* msg = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &msg);
    if (rc == SQLITE_OK) return true;
    const int primary = rc & 0xFF;
    const bool known = primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_CORRUPT ||
                       primary == SQLITE_NOTADB;
    problem = known || msg == nullptr ? DbProblem(db, rc) : std::string(msg);
    sqlite3_free(msg);
    return false;
}

// A value of one "PRAGMA name" as a number.
bool PragmaInt(sqlite3* db, const char* pragma, std::int64_t& value, std::string& problem) {
    CStatement s(db, pragma);
    if (!s.Next()) {
        problem = s.Problem();
        return false;
    }
    value = s.Int(0);
    return true;
}

// A transaction that is rolled back unless committed.
class CTransaction {
public:
    CTransaction(sqlite3* db, bool write) : m_db(db) {
        std::string problem;
        m_open = Exec(db, write ? "BEGIN IMMEDIATE" : "BEGIN", problem);
        m_problem = problem;
    }
    ~CTransaction() {
        if (m_open) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;
    bool Open() const { return m_open; }
    const std::string& Problem() const { return m_problem; }
    bool Commit(std::string& problem) {
        if (!Exec(m_db, "COMMIT", problem)) return false;
        m_open = false;
        return true;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
    std::string m_problem;
};

// ---- the file ---------------------------------------------------------------

fs::path WithSuffix(const fs::path& path, const char* suffix) { return fs::path(path.string() + suffix); }

// The archive and its companion files may only be regular files: a link
// would make the database write elsewhere, and a FIFO would make it wait for
// ever. False with why; `exists` tells whether the archive itself is there.
bool CheckPathKinds(const fs::path& path, bool& exists, std::string& error) {
    exists = false;
    struct stat dir {};
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const bool worldWritable = ::stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_IWOTH) != 0;
    std::vector<fs::path> paths = {path};
    for (const char* suffix : kCompanions) paths.push_back(WithSuffix(path, suffix));
    for (const fs::path& p : paths) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) {
            if (errno == ENOENT) continue;
            error = Named(p, std::strerror(errno));
            return false;
        }
        if (S_ISLNK(st.st_mode)) {
            error = Named(p, "is a symbolic link; the archive and its companion files must be regular files");
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            error = Named(p, "is " + cmn::DescribePathKind(p) + ", not a regular file");
            return false;
        }
        // In a folder that every user may write, another user's file is one
        // they may have put there for the database to read as ours.
        if (st.st_uid != ::geteuid() && worldWritable) {
            error = Named(p, "belongs to another user, in a folder that every user may write");
            return false;
        }
        if (p == path) exists = true;
    }
    return true;
}

// The first bytes of the file, read without following a link or waiting on a
// FIFO: a file that is not an archive of this program, or one of a newer
// version, is refused before the database library opens it.
bool CheckHeader(const fs::path& path, std::string& error) {
    const cmn::stSharedFile f = cmn::OpenSharedFile(path, O_RDONLY);
    if (f.fd < 0) {
        error = f.error;
        return false;
    }
    unsigned char header[kHeaderSize];
    std::size_t got = 0;
    while (got < kHeaderSize) {
        const ssize_t n = ::read(f.fd, header + got, kHeaderSize - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(f.fd);
    static const char kMagic[] = "SQLite format 3";  // and its terminating zero
    if (got < kHeaderSize || std::memcmp(header, kMagic, sizeof kMagic) != 0) {
        error = Named(path, "is not a history archive" + std::string(got == 0 ? " (an empty file)" : "") +
                                "; it was left as it is");
        return false;
    }
    if (BigEndian32(header + 68) != kApplicationId) {
        error = Named(path, "is a database of another program, not a history archive; it was left as it is");
        return false;
    }
    const auto version = static_cast<std::int32_t>(BigEndian32(header + 60));
    if (version > kSchemaVersion) {
        error = Named(path, "is an archive of a newer version of this program (schema " + std::to_string(version) +
                                "; this one knows up to " + std::to_string(kSchemaVersion) +
                                "); it was left as it is");
        return false;
    }
    return true;
}

// What the connection sees of the file: ours, of a version this program
// reads, and (for writing) whole.
bool Verify(sqlite3* db, const fs::path& path, ArchiveAccess access, bool full, std::string& error) {
    std::int64_t app = 0, version = 0;
    std::string problem;
    if (!PragmaInt(db, "PRAGMA application_id", app, problem) ||
        !PragmaInt(db, "PRAGMA user_version", version, problem)) {
        error = Named(path, problem + "; it was left as it is");
        return false;
    }
    if (static_cast<std::uint32_t>(app) != kApplicationId || version < 1) {
        error = Named(path, "is not a history archive; it was left as it is");
        return false;
    }
    if (version > kSchemaVersion) {
        error = Named(path, "is an archive of a newer version of this program (schema " + std::to_string(version) +
                                "; this one knows up to " + std::to_string(kSchemaVersion) +
                                "); it was left as it is");
        return false;
    }
    if (version < kSchemaVersion && access == ArchiveAccess::kRead) {
        error = Named(path, "is an archive of an earlier version of this program (schema " +
                                std::to_string(version) + "); adding a log to it brings it up to date");
        return false;
    }
    if (!full) return true;
    // Every page once: a damaged file is refused before anything is written to it.
    CStatement check(db, "PRAGMA quick_check");
    std::string first;
    while (check.Next()) {
        if (first.empty()) first = check.Bytes(0);
    }
    if (!check.Ok()) {
        error = Named(path, check.Problem() + "; nothing was written");
        return false;
    }
    if (first != "ok") {
        error = Named(path, "the archive is damaged (" + first + "); nothing was written");
        return false;
    }
    return true;
}

sqlite3* OpenConnection(const fs::path& path, bool write, std::string& error) {
    sqlite3* db = nullptr;
    // Never SQLITE_OPEN_CREATE: a file is made only by MakeArchiveFile.
    const int flags = (write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOFOLLOW |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        error = Named(path, DbProblem(db, rc));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kArchiveBusyWaitMs);
    return db;
}

// Takes the schema from `from` to the current version in one transaction.
bool Migrate(sqlite3* db, std::int64_t from, std::string& problem) {
    for (std::int64_t v = from; v < kSchemaVersion; ++v)
        if (!Exec(db, kMigrations[v], problem)) return false;
    const std::string set = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    return Exec(db, set.c_str(), problem);
}

// Brings an archive of an earlier version up to date; the version is read
// again under the write lock, since another process may have done it.
bool UpdateSchema(sqlite3* db, const fs::path& path, std::string& error) {
    std::int64_t version = 0;
    std::string problem;
    if (!PragmaInt(db, "PRAGMA user_version", version, problem)) {
        error = Named(path, problem);
        return false;
    }
    if (version == kSchemaVersion) return true;
    CTransaction tx(db, true);
    if (!tx.Open() || !PragmaInt(db, "PRAGMA user_version", version, problem) ||
        (version < kSchemaVersion && !Migrate(db, version, problem)) || !tx.Commit(problem)) {
        error = Named(path, (tx.Open() ? problem : tx.Problem()) + "; the archive was left as it was");
        return false;
    }
    return true;
}

// Makes a new archive at `path`: built whole in a folder of its own beside
// it (made for this user alone, so that nobody can plant a link where the
// database makes its companion files), then given its name unless another
// process made one there meanwhile (then that one is used).
bool MakeArchiveFile(const fs::path& path, std::string& error) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string work = (folder / ("." + path.filename().string() + ".new-XXXXXX")).string();
    if (::mkdtemp(work.data()) == nullptr) {
        error = Named(path, std::string("cannot be made: ") + std::strerror(errno));
        return false;
    }
    const fs::path workDir = work;
    const fs::path tempPath = workDir / "archive.sqlite";
    const auto removeWork = [&] {
        std::error_code ec;
        fs::remove_all(workDir, ec);
    };
    std::string problem;
    const int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    sqlite3* db = fd >= 0 ? OpenConnection(tempPath, true, problem) : nullptr;
    if (fd < 0) problem = std::strerror(errno);
    bool built = db != nullptr;
    if (built) {
        const std::string id = "PRAGMA application_id = " + std::to_string(kApplicationId);
        built = Exec(db, id.c_str(), problem) && Exec(db, "PRAGMA journal_mode = WAL", problem) &&
                Exec(db, "BEGIN IMMEDIATE", problem) && Migrate(db, 0, problem) && Exec(db, "COMMIT", problem);
    }
    // Closing checkpoints the write-ahead log into the file and removes it.
    if (db != nullptr && sqlite3_close(db) != SQLITE_OK) built = false;
    if (!built) {
        removeWork();
        error = Named(path, "cannot be made: " + problem);
        return false;
    }
    bool placed = ::renameat2(AT_FDCWD, tempPath.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
    int why = errno;
    if (!placed && (why == EINVAL || why == ENOSYS)) {
        // A file system without renameat2: a hard link also gives the name
        // only when nothing is there.
        placed = ::link(tempPath.c_str(), path.c_str()) == 0;
        why = errno;
    }
    removeWork();
    // Another process made the archive meanwhile: that one is used.
    if (!placed && why != EEXIST) {
        error = Named(path, std::string("cannot be made: ") + std::strerror(why));
        return false;
    }
    return true;
}

// In a folder that every user may write (such as /tmp), somebody could plant
// a link where the database is about to make its companion files, and make
// it write through the link; they are made first, as regular files of ours.
bool MakeCompanionsFirst(const fs::path& path, std::string& error) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    struct stat dir {};
    struct stat file {};
    if (::stat(folder.c_str(), &dir) != 0 || (dir.st_mode & S_IWOTH) == 0) return true;
    if (::stat(path.c_str(), &file) != 0) return true;
    for (const char* suffix : {"-wal", "-shm"}) {
        const cmn::stSharedFile f = cmn::OpenSharedFile(WithSuffix(path, suffix), O_RDWR | O_CREAT, file.st_mode & 0666);
        if (f.fd < 0) {
            error = f.error;
            return false;
        }
        ::close(f.fd);
    }
    return true;
}

// ---- what is read ----------------------------------------------------------------

struct stStored {
    std::int64_t grpCollected = 0;
};

// The history's identities of one display within the lap times of `keys`.
bool LoadStored(sqlite3* db, std::int64_t display, const std::vector<stRecordKey>& keys,
                std::unordered_map<stRecordKey, stStored, RecordKeyHash>& stored, std::string& problem) {
    CStatement s(db,
                 "SELECT lap, fields, occurrence, grp_collected FROM record "
                 "WHERE display = ?1 AND section = ?2 AND lap BETWEEN ?3 AND ?4");
    for (int section : {kRunningLog, kAbnormalGroups}) {
        std::vector<std::int64_t> laps;
        for (const stRecordKey& k : keys)
            if (k.nSection == section) laps.push_back(k.dwLap);
        if (laps.empty()) continue;
        std::sort(laps.begin(), laps.end());
        std::size_t first = 0;
        for (std::size_t i = 1; i <= laps.size(); ++i) {
            if (i < laps.size() && laps[i] - laps[i - 1] <= kRangeGap) continue;
            s.Bind(1, display).Bind(2, section).Bind(3, laps[first]).Bind(4, laps[i - 1]);
            while (s.Next()) {
                stRecordKey k;
                k.nSection = section;
                k.dwLap = static_cast<std::uint32_t>(s.Int(0));
                k.nFields = s.Int(1);
                k.nOccurrence = static_cast<int>(s.Int(2));
                stored[k].grpCollected = s.Int(3);
            }
            if (!s.Ok()) {
                problem = s.Problem();
                return false;
            }
            s.Reset();
            first = i;
        }
    }
    return true;
}

bool FindDisplay(sqlite3* db, const stDisplayKey& key, std::int64_t& id, bool& found, std::string& problem) {
    CStatement s(db, "SELECT id FROM display WHERE serial = ?1 AND model = ?2");
    s.Bind(1, key.strSerial).Bind(2, key.strModel);
    found = s.Next();
    if (found) id = s.Int(0);
    if (!s.Ok()) problem = s.Problem();
    return s.Ok();
}

bool Summarize(sqlite3* db, std::int64_t display, stDisplaySummary& out, std::string& problem) {
    CStatement c(db, "SELECT COUNT(*), MIN(collected), MAX(collected) FROM collection WHERE display = ?1");
    c.Bind(1, display);
    if (!c.Next()) {
        problem = c.Problem();
        return false;
    }
    out.nCollections = static_cast<std::size_t>(c.Int(0));
    out.tFirst = static_cast<std::time_t>(c.Int(1));
    out.tLast = static_cast<std::time_t>(c.Int(2));
    CStatement last(db,
                    "SELECT new_records FROM collection WHERE display = ?1 ORDER BY collected DESC, id DESC LIMIT 1");
    last.Bind(1, display);
    if (last.Next()) out.nLastNew = static_cast<std::size_t>(last.Int(0));
    CStatement records(db, "SELECT COUNT(*) FROM record WHERE display = ?1");
    records.Bind(1, display);
    if (records.Next()) out.nRecords = static_cast<std::size_t>(records.Int(0));
    // An abnormal record the display kept both in its running log and in an
    // abnormal group is one event.
    CStatement abnormal(db,
                        "SELECT COUNT(*) FROM (SELECT DISTINCT lap, fields, occurrence FROM record "
                        "WHERE display = ?1 AND fields >= ?2 AND fields < ?3)");
    abnormal.Bind(1, display).Bind(2, FirstFieldsOfKind(LOG_KIND_ABNORMAL)).Bind(3, FirstFieldsOfKind(LOG_KIND_ABNORMAL + 1));
    if (abnormal.Next()) out.nAbnormal = static_cast<std::size_t>(abnormal.Int(0));
    for (const CStatement* s : {&last, &records, &abnormal}) {
        if (!s->Ok()) {
            problem = s->Problem();
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> ToBytes(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace

// ---- the archive ---------------------------------------------------------------

int CSqliteArchive::SchemaVersion() { return kSchemaVersion; }
std::uint32_t CSqliteArchive::ApplicationId() { return kApplicationId; }

CSqliteArchive::CSqliteArchive(fs::path path, sqlite3* db, bool writable)
    : m_path(std::move(path)), m_db(db), m_writable(writable) {}

CSqliteArchive::~CSqliteArchive() { sqlite3_close(m_db); }

std::unique_ptr<CSqliteArchive> CSqliteArchive::Open(const fs::path& path, ArchiveAccess access,
                                                     std::string& error) {
    try {
        bool exists = false;
        if (!CheckPathKinds(path, exists, error)) return nullptr;
        if (!exists) {
            if (access == ArchiveAccess::kRead) {
                error = Named(path, "no archive there");
                return nullptr;
            }
            if (!MakeArchiveFile(path, error) || !CheckPathKinds(path, exists, error)) return nullptr;
        }
        if (!CheckHeader(path, error) || !MakeCompanionsFirst(path, error)) return nullptr;
        const bool write = access == ArchiveAccess::kWrite;
        if (write) {
            // Checked through a connection that cannot write before one that can.
            sqlite3* check = OpenConnection(path, false, error);
            if (check == nullptr) return nullptr;
            const bool whole = Verify(check, path, ArchiveAccess::kWrite, true, error);
            sqlite3_close(check);
            if (!whole) return nullptr;
        }
        sqlite3* db = OpenConnection(path, write, error);
        if (db == nullptr) return nullptr;
        std::unique_ptr<CSqliteArchive> archive(new CSqliteArchive(path, db, write));
        if (!Verify(db, path, access, false, error)) return nullptr;
        std::string problem;
        if (write && !(Exec(db, "PRAGMA journal_mode = WAL", problem) && Exec(db, "PRAGMA synchronous = NORMAL", problem))) {
            error = Named(path, problem);
            return nullptr;
        }
        if (write && !UpdateSchema(db, path, error)) return nullptr;
        return archive;
    } catch (const std::exception& e) {
        error = Named(path, e.what());
    } catch (...) {
        error = Named(path, "cannot be opened");
    }
    return nullptr;
}

bool CSqliteArchive::Add(const stCollection& collection, stAddResult& result, std::string& error) {
    if (!m_writable) {
        error = Named(m_path, "opened for reading only");
        return false;
    }
    return Merge(collection, true, result, error);
}

bool CSqliteArchive::Examine(const stCollection& collection, stAddResult& result, std::string& error) {
    return Merge(collection, false, result, error);
}

bool CSqliteArchive::Merge(const stCollection& c, bool write, stAddResult& result, std::string& error) {
    result = stAddResult{};
    result.nRecords = c.records.size();
    std::string problem;
    const auto fail = [&](const std::string& what) {
        error = Named(m_path, what + (write ? "; nothing was added" : ""));
        return false;
    };
    // After each statement that writes: where a test stops an add.
    const auto between = [&] { return !m_hook || m_hook(); };
    try {
        const std::vector<stRecordKey> keys = RecordKeys(c.records);
        CTransaction tx(m_db, write);
        if (!tx.Open()) return fail(tx.Problem());

        std::int64_t display = 0;
        bool found = false;
        if (!FindDisplay(m_db, c.display, display, found, problem)) return fail(problem);
        if (!found) {
            result.bNewDisplay = true;
            if (!write) {
                result.nNewRecords = keys.size();
                return true;
            }
            CStatement add(m_db, "INSERT INTO display (model, serial) VALUES (?1, ?2)");
            add.Bind(1, c.display.strModel).Bind(2, c.display.strSerial);
            if (!add.Run()) return fail(add.Problem());
            if (!between()) return fail("stopped between two statements");
            display = sqlite3_last_insert_rowid(m_db);
        }

        std::int64_t collection = 0;
        {
            CStatement known(m_db, "SELECT id, new_records FROM collection WHERE display = ?1 AND digest = ?2 AND size = ?3");
            known.Bind(1, display)
                .Bind(2, static_cast<std::int64_t>(c.nDigest))
                .Bind(3, static_cast<std::int64_t>(c.nSize));
            result.bKnownCollection = known.Next();
            if (!known.Ok()) return fail(known.Problem());
            if (result.bKnownCollection) {
                collection = known.Int(0);
                if (!write) {
                    result.nNewRecords = static_cast<std::size_t>(known.Int(1));
                    return true;
                }
            }
        }

        std::unordered_map<stRecordKey, stStored, RecordKeyHash> stored;
        if (!LoadStored(m_db, display, keys, stored, problem)) return fail(problem);
        std::vector<std::size_t> fresh;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (stored.find(keys[i]) == stored.end()) fresh.push_back(i);
        result.nNewRecords = fresh.size();
        if (!write) return true;

        const std::int64_t collected = static_cast<std::int64_t>(c.info.tCollected);
        if (!result.bKnownCollection) {
            CStatement add(m_db,
                           "INSERT INTO collection (display, collected, added, source, digest, size, file_version, "
                           "info, display_clock, temperature, records, new_records) "
                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
            add.Bind(1, display)
                .Bind(2, collected)
                .Bind(3, static_cast<std::int64_t>(std::time(nullptr)))
                .Bind(4, c.info.strSource)
                .Bind(5, static_cast<std::int64_t>(c.nDigest))
                .Bind(6, static_cast<std::int64_t>(c.nSize))
                .Bind(7, c.info.nFileVersion)
                .Bind(8, c.info.strInfo)
                .BindText(9, c.info.strDisplayClock)
                .Bind(10, c.info.temperature)
                .Bind(11, static_cast<std::int64_t>(keys.size()))
                .Bind(12, static_cast<std::int64_t>(fresh.size()));
            if (!add.Run()) return fail(add.Problem());
            if (!between()) return fail("stopped between two statements");
            collection = sqlite3_last_insert_rowid(m_db);
        }

        CStatement insert(m_db,
                          "INSERT INTO record (display, section, lap, fields, occurrence, grp, grp_collected, "
                          "collection, position) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        for (const std::size_t i : fresh) {
            const stRecordKey& k = keys[i];
            insert.Bind(1, display)
                .Bind(2, k.nSection)
                .Bind(3, k.dwLap)
                .Bind(4, k.nFields)
                .Bind(5, k.nOccurrence)
                .Bind(6, c.records[i].nGroup)
                .Bind(7, collected)
                .Bind(8, collection)
                .Bind(9, static_cast<std::int64_t>(i));
            if (!insert.Run()) return fail(insert.Problem());
            if (!between()) return fail("stopped between two statements");
        }

        // The records around abnormal records take the group of the newest
        // collection that holds them (a log known already changes nothing).
        if (!result.bKnownCollection) {
            CStatement regroup(m_db,
                               "UPDATE record SET grp = ?1, grp_collected = ?2 WHERE display = ?3 AND section = ?4 "
                               "AND lap = ?5 AND fields = ?6 AND occurrence = ?7");
            for (std::size_t i = 0; i < keys.size(); ++i) {
                const stRecordKey& k = keys[i];
                if (k.nSection != kAbnormalGroups) continue;
                const auto it = stored.find(k);
                if (it == stored.end() || it->second.grpCollected >= collected) continue;
                regroup.Bind(1, c.records[i].nGroup)
                    .Bind(2, collected)
                    .Bind(3, display)
                    .Bind(4, k.nSection)
                    .Bind(5, k.dwLap)
                    .Bind(6, k.nFields)
                    .Bind(7, k.nOccurrence);
                if (!regroup.Run()) return fail(regroup.Problem());
                if (!between()) return fail("stopped between two statements");
            }
        }
        if (!tx.Commit(problem)) return fail(problem);
        return true;
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}

bool CSqliteArchive::ListDisplays(std::vector<stDisplaySummary>& displays, std::string& error) {
    displays.clear();
    std::string problem;
    try {
        CTransaction tx(m_db, false);
        if (!tx.Open()) {
            error = Named(m_path, tx.Problem());
            return false;
        }
        CStatement s(m_db, "SELECT id, model, serial FROM display ORDER BY serial, model");
        std::vector<std::pair<std::int64_t, stDisplayKey>> ids;
        while (s.Next()) ids.push_back({s.Int(0), {s.Bytes(1), s.Bytes(2)}});
        if (!s.Ok()) {
            error = Named(m_path, s.Problem());
            return false;
        }
        for (const auto& [id, key] : ids) {
            stDisplaySummary summary;
            summary.display = key;
            if (!Summarize(m_db, id, summary, problem)) {
                error = Named(m_path, problem);
                return false;
            }
            displays.push_back(std::move(summary));
        }
        return true;
    } catch (const std::exception& e) {
        error = Named(m_path, e.what());
        return false;
    }
}

bool CSqliteArchive::History(const stDisplayKey& key, std::optional<std::time_t> since, stDisplayHistory& history,
                             std::string& error) {
    history = stDisplayHistory{};
    std::string problem;
    const auto fail = [&](const std::string& what) {
        error = Named(m_path, what);
        return false;
    };
    try {
        CTransaction tx(m_db, false);
        if (!tx.Open()) return fail(tx.Problem());
        std::int64_t display = 0;
        bool found = false;
        if (!FindDisplay(m_db, key, display, found, problem)) return fail(problem);
        if (!found) return fail("holds no history of this display");
        history.summary.display = key;
        if (!Summarize(m_db, display, history.summary, problem)) return fail(problem);

        std::map<std::int64_t, std::int64_t> collectedOf;
        {
            CStatement s(m_db,
                         "SELECT id, collected, source, file_version, info, display_clock, temperature, records, "
                         "new_records FROM collection WHERE display = ?1 ORDER BY collected, id");
            s.Bind(1, display);
            while (s.Next()) {
                collectedOf[s.Int(0)] = s.Int(1);
                stCollectionInfo& n = history.newest;  // the last row is the newest
                n.tCollected = static_cast<std::time_t>(s.Int(1));
                n.strSource = s.Bytes(2);
                n.nFileVersion = static_cast<int>(s.Int(3));
                n.strInfo = s.Bytes(4);
                n.strDisplayClock = s.Bytes(5);
                n.temperature = ToBytes(s.Bytes(6));
                n.nRecords = static_cast<std::size_t>(s.Int(7));
                n.nNewRecords = static_cast<std::size_t>(s.Int(8));
            }
            if (!s.Ok()) return fail(s.Problem());
        }

        // A date after the last display time there can be leaves no record.
        const std::int64_t fromLap =
            since ? std::clamp<std::int64_t>(cmn::TimeToDisplay(*since), 0,
                                             std::int64_t{std::numeric_limits<std::uint32_t>::max()} + 1)
                  : 0;
        struct stRow {
            int section;
            std::int64_t collected, collection, position;
            stLogRecord record;
        };
        std::vector<stRow> rows;
        rows.reserve(history.summary.nRecords);
        CStatement s(m_db,
                     "SELECT lap, fields, grp, collection, position FROM record "
                     "WHERE display = ?1 AND section = ?2 AND lap >= ?3");
        for (int section : {kRunningLog, kAbnormalGroups}) {
            s.Bind(1, display).Bind(2, section).Bind(3, fromLap);
            while (s.Next()) {
                const std::int64_t fields = s.Int(1);
                // Unknown kinds have no time of their own: a history since a
                // date leaves them out.
                const int kind = KindOfFields(fields);
                if (since && (kind < LOG_KIND_OPERATION || kind > LOG_KIND_DEVINFO)) continue;
                const auto coll = collectedOf.find(s.Int(3));
                rows.push_back({section, coll == collectedOf.end() ? 0 : coll->second, s.Int(3), s.Int(4),
                                UnpackRecord(static_cast<std::uint32_t>(s.Int(0)), fields,
                                             section == kRunningLog ? 0 : static_cast<int>(s.Int(2)))});
            }
            if (!s.Ok()) return fail(s.Problem());
            s.Reset();
        }
        std::sort(rows.begin(), rows.end(), [](const stRow& a, const stRow& b) {
            return std::tie(a.section, a.collected, a.collection, a.position) <
                   std::tie(b.section, b.collected, b.collection, b.position);
        });
        history.records.reserve(rows.size());
        for (stRow& r : rows) history.records.push_back(std::move(r.record));
        if (!tx.Commit(problem)) return fail(problem);
        return true;
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}

std::unique_ptr<IHistoryArchive> OpenArchiveFile(const fs::path& path, ArchiveAccess access, std::string& error) {
    return CSqliteArchive::Open(path, access, error);
}

fs::path DefaultArchivePath(bool make, std::string& error) {
    const fs::path folder = cmn::UserFolderPath(cmn::UserFolderKind::kData);
    if (folder.empty()) {
        error = "no home folder for the archive: set HOME or give --archive";
        return {};
    }
    if (make) {
        const cmn::stUserPath made = cmn::MakePrivateFolder(folder);
        if (made.path.empty()) {
            error = made.error;
            return {};
        }
    }
    return folder / "archive.sqlite";
}

}  // namespace hist
