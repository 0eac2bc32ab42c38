#include "store/sqlite_registry.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <system_error>

namespace ticktavo {
namespace {

constexpr int kSchemaVersion = 1;

// Written out as users will see it with the sqlite3 shell's .schema.
constexpr const char* kCreateSchema =
    R"sql(CREATE TABLE reg_key   (path TEXT PRIMARY KEY COLLATE NOCASE);
CREATE TABLE reg_value (key  TEXT NOT NULL COLLATE NOCASE REFERENCES reg_key(path) ON DELETE CASCADE,
                        name TEXT NOT NULL COLLATE NOCASE,
                        type INTEGER NOT NULL,   -- REG_SZ = 1, REG_DWORD = 4
                        data BLOB NOT NULL,      -- the exact bytes written
                        PRIMARY KEY (key, name));
PRAGMA user_version = 1;)sql";

// Subkeys are matched by their path prefix "parent\" (?1, "" for the root), compared the way
// the path column compares (NOCASE); a direct subkey has no further '\' after the prefix.
constexpr const char* kNthSubkeySql =
    "SELECT substr(path, length(?1) + 1) FROM reg_key"
    " WHERE length(path) > length(?1) AND substr(path, 1, length(?1)) = ?1 COLLATE NOCASE"
    " AND instr(substr(path, length(?1) + 1), '\\') = 0"
    " ORDER BY path LIMIT 1 OFFSET ?2";
constexpr const char* kHasSubkeysSql =
    "SELECT 1 FROM reg_key"
    " WHERE length(path) > length(?1) AND substr(path, 1, length(?1)) = ?1 COLLATE NOCASE"
    " LIMIT 1";

int BindText(sqlite3_stmt* statement, int index, std::string_view text) {
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_TRANSIENT);
}

int Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Runs a statement that yields one integer (PRAGMA user_version, a count).
int QueryInt(sqlite3* db, const char* sql, long long* value) {
  sqlite3_stmt* statement = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) {
      *value = sqlite3_column_int64(statement, 0);
      rc = SQLITE_OK;
    }
  }
  sqlite3_finalize(statement);
  return rc;
}

// "ok" from PRAGMA integrity_check, or the first complaint. The full check, not quick_check:
// only it compares each index with its table, and the program finds keys through the indexes,
// so a file with a damaged index would be written into as if it were sound.
int IntegrityCheck(sqlite3* db, std::string* verdict) {
  sqlite3_stmt* statement = nullptr;
  int rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      *verdict = text ? reinterpret_cast<const char*>(text) : "";
      rc = SQLITE_OK;
    }
  }
  sqlite3_finalize(statement);
  return rc;
}

bool IsDamageCode(int rc) {
  int primary = rc & 0xff;
  return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

std::string UtcStamp(std::time_t when) {
  std::tm parts{};
  gmtime_r(&when, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
  return text;
}

bool Exists(const std::filesystem::path& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

// What opening found.
enum class Verdict { kUsable, kDamaged, kUnusable };

struct Opened {
  Verdict verdict = Verdict::kUnusable;
  sqlite3* db = nullptr;
  std::string reason;
  bool readOnly = false;
};

void CloseDb(sqlite3*& db) {
  sqlite3_close_v2(db);
  db = nullptr;
}

Opened TryOpen(const std::filesystem::path& file, int busyTimeoutMs) {
  Opened result;
  const std::string name = file.string();
  const bool existed = Exists(file);
  if (existed && ::access(name.c_str(), R_OK) != 0) {
    result.verdict = Verdict::kDamaged;
    result.reason = "it cannot be read";
    return result;
  }

  int rc = sqlite3_open_v2(name.c_str(), &result.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                           nullptr);
  if (rc != SQLITE_OK && existed) {
    // A file we may not write is still worth reading.
    CloseDb(result.db);
    rc = sqlite3_open_v2(name.c_str(), &result.db, SQLITE_OPEN_READONLY, nullptr);
  }
  if (rc != SQLITE_OK) {
    result.reason = result.db ? sqlite3_errmsg(result.db) : sqlite3_errstr(rc);
    CloseDb(result.db);
    return result;
  }
  sqlite3_extended_result_codes(result.db, 1);
  sqlite3_busy_timeout(result.db, busyTimeoutMs);
  Exec(result.db, "PRAGMA foreign_keys = ON");

  auto fail = [&](Verdict verdict, std::string reason) {
    result.verdict = verdict;
    result.reason = std::move(reason);
    CloseDb(result.db);
    return result;
  };

  long long version = 0;
  rc = QueryInt(result.db, "PRAGMA user_version", &version);
  if (IsDamageCode(rc)) return fail(Verdict::kDamaged, sqlite3_errstr(rc));
  if (rc != SQLITE_OK) return fail(Verdict::kUnusable, sqlite3_errmsg(result.db));

  std::string verdict;
  rc = IntegrityCheck(result.db, &verdict);
  if (IsDamageCode(rc)) return fail(Verdict::kDamaged, sqlite3_errstr(rc));
  if (rc != SQLITE_OK) return fail(Verdict::kUnusable, sqlite3_errmsg(result.db));
  if (verdict != "ok") {
    // The report runs over several lines; the message stays one line.
    std::replace(verdict.begin(), verdict.end(), '\n', ' ');
    if (verdict.size() > 120) verdict = verdict.substr(0, 120) + "...";
    return fail(Verdict::kDamaged, "its integrity check failed: " + verdict);
  }

  result.readOnly = sqlite3_db_readonly(result.db, "main") == 1;
  if (version == 0) {
    if (result.readOnly) return fail(Verdict::kUnusable, "it is empty and read-only");
    // Looks new. Another copy starting at the same moment may be creating it: the write
    // lock orders the two, and whoever comes second finds the schema in place. Only a file
    // that has tables but no version is someone else's database.
    rc = Exec(result.db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return fail(Verdict::kUnusable, sqlite3_errmsg(result.db));
    long long tables = 0;
    rc = QueryInt(result.db, "PRAGMA user_version", &version);
    if (rc == SQLITE_OK && version == 0) {
      rc = QueryInt(result.db, "SELECT count(*) FROM sqlite_master", &tables);
      if (rc == SQLITE_OK && tables == 0) {
        rc = Exec(result.db, kCreateSchema);
        version = kSchemaVersion;
      }
    }
    if (rc == SQLITE_OK) rc = Exec(result.db, "COMMIT");
    if (rc != SQLITE_OK) {
      Exec(result.db, "ROLLBACK");
      return fail(Verdict::kUnusable, sqlite3_errmsg(result.db));
    }
    if (version == 0) return fail(Verdict::kDamaged, "it is not a settings file");
  }
  if (version > kSchemaVersion || version < 0) {
    return fail(Verdict::kUnusable, "its format " + std::to_string(version) +
                                        " is not one this version of the program knows");
  }
  result.verdict = Verdict::kUsable;
  return result;
}

// Moves the damaged file and its journals aside under a name that is not taken yet.
std::optional<std::filesystem::path> SetAside(const std::filesystem::path& file, std::time_t when) {
  const std::string base = file.string() + ".damaged-" + UtcStamp(when);
  std::filesystem::path target = base;
  for (int n = 2; Exists(target); ++n) target = base + "-" + std::to_string(n);
  std::error_code error;
  std::filesystem::rename(file, target, error);
  if (error) return std::nullopt;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    std::filesystem::path companion = file.string() + suffix;
    if (Exists(companion)) {
      std::filesystem::rename(companion, target.string() + suffix, error);
    }
  }
  return target;
}

bool FolderWritable(const std::filesystem::path& file) {
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  return ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace

class SqliteRegistry::Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    m_rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
  }
  ~Statement() { sqlite3_finalize(m_statement); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Ok() const { return m_rc == SQLITE_OK; }

  // Hands out the statement for one run; it is reset when the run goes out of scope.
  class Run {
   public:
    explicit Run(sqlite3_stmt* statement) : m_statement(statement) {}
    ~Run() {
      sqlite3_reset(m_statement);
      sqlite3_clear_bindings(m_statement);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    sqlite3_stmt* operator*() const { return m_statement; }

   private:
    sqlite3_stmt* m_statement;
  };
  Run Use() { return Run(m_statement); }

 private:
  sqlite3_stmt* m_statement = nullptr;
  int m_rc = SQLITE_ERROR;
};

SqliteRegistry::SqliteRegistry(sqlite3* db) : m_db(db) {}

SqliteRegistry::~SqliteRegistry() {
  if (m_depth > 0 && m_db != nullptr) Exec(m_db, "ROLLBACK");
  m_keyExists.reset();
  m_insertKey.reset();
  m_selectValue.reset();
  m_upsertValue.reset();
  m_nthSubkey.reset();
  m_hasSubkeys.reset();
  m_deleteValues.reset();
  m_deleteKey.reset();
  sqlite3_close_v2(m_db);
}

bool SqliteRegistry::Prepare() {
  m_keyExists = std::make_unique<Statement>(m_db, "SELECT path FROM reg_key WHERE path = ?1");
  m_insertKey =
      std::make_unique<Statement>(m_db, "INSERT OR IGNORE INTO reg_key(path) VALUES (?1)");
  m_selectValue = std::make_unique<Statement>(
      m_db, "SELECT type, data FROM reg_value WHERE key = ?1 AND name = ?2");
  m_upsertValue = std::make_unique<Statement>(
      m_db,
      "INSERT INTO reg_value(key, name, type, data) VALUES (?1, ?2, ?3, ?4)"
      " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
  m_nthSubkey = std::make_unique<Statement>(m_db, kNthSubkeySql);
  m_hasSubkeys = std::make_unique<Statement>(m_db, kHasSubkeysSql);
  m_deleteValues = std::make_unique<Statement>(m_db, "DELETE FROM reg_value WHERE key = ?1");
  m_deleteKey = std::make_unique<Statement>(m_db, "DELETE FROM reg_key WHERE path = ?1");
  for (const auto* statement : {&m_keyExists, &m_insertKey, &m_selectValue, &m_upsertValue,
                                &m_nthSubkey, &m_hasSubkeys, &m_deleteValues, &m_deleteKey}) {
    if (!(*statement)->Ok()) return false;
  }
  return true;
}

std::unique_ptr<SqliteRegistry> SqliteRegistry::Open(const std::filesystem::path& file,
                                                     std::ostream& errors, Options options) {
  std::error_code ignored;
  const std::filesystem::path folder = file.parent_path();
  if (!folder.empty() && !std::filesystem::exists(folder, ignored)) {
    // Settings are private to the user.
    if (std::filesystem::create_directories(folder, ignored)) {
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    }
  }

  const auto unusable = [] { return std::unique_ptr<SqliteRegistry>(new SqliteRegistry(nullptr)); };
  // A damaged file (SQLite says so, or its tables are not ours) is moved aside, once, and a
  // fresh one made in its place.
  for (bool fresh = false;; fresh = true) {
    const Opened opened = TryOpen(file, options.busyTimeoutMs);
    if (opened.verdict == Verdict::kUnusable) {
      errors << "ticktavo: cannot use the settings file " << file.string() << " (" << opened.reason
             << "); settings will not be loaded or saved\n";
      return unusable();
    }
    std::string damage = opened.reason;
    if (opened.verdict == Verdict::kUsable) {
      std::unique_ptr<SqliteRegistry> registry(new SqliteRegistry(opened.db));
      if (registry->Prepare()) {
        if (opened.readOnly || !FolderWritable(file)) {
          errors << "ticktavo: the settings file " << file.string()
                 << " cannot be written; changes will not be saved\n";
        }
        return registry;
      }
      // The version says ours, the tables say otherwise.
      damage = "its tables are not the expected ones";
    }
    if (fresh) {
      errors << "ticktavo: cannot use the new settings file " << file.string() << " (" << damage
             << "); settings will not be loaded or saved\n";
      return unusable();
    }
    const std::optional<std::filesystem::path> kept = SetAside(file, options.now());
    if (!kept) {
      errors << "ticktavo: the settings file " << file.string() << " is damaged (" << damage
             << ") and cannot be moved aside; settings will not be loaded or saved\n";
      return unusable();
    }
    errors << "ticktavo: the settings file " << file.string() << " is damaged (" << damage
           << "); it was kept as " << kept->string() << " and the defaults are used\n";
  }
}

std::unique_ptr<SqliteRegistry> SqliteRegistry::OpenReadOnly(const std::filesystem::path& file,
                                                             std::string* problem) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  long long version = 0;
  if (rc == SQLITE_OK) {
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, Options{}.busyTimeoutMs);
    rc = QueryInt(db, "PRAGMA user_version", &version);
  }
  if (rc != SQLITE_OK) {
    *problem = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    return nullptr;
  }
  std::unique_ptr<SqliteRegistry> registry(new SqliteRegistry(db));
  if (version != kSchemaVersion || !registry->Prepare()) {
    *problem = version > kSchemaVersion ? "its format " + std::to_string(version) +
                                              " is not one this version of the program knows"
                                        : "it is not a settings file";
    return nullptr;
  }
  return registry;
}

RegResult SqliteRegistry::Failure(int code, bool writing) {
  if (m_depth > 0 && sqlite3_get_autocommit(m_db) != 0) m_broken = true;
  if (code == SQLITE_CONSTRAINT_FOREIGNKEY) return RegResult::kKeyDeleted;
  return writing ? RegResult::kCantWrite : RegResult::kCantRead;
}

RegResult SqliteRegistry::BeginTransaction() {
  // Take the write lock now: a save then waits for the other copy once, up front, rather
  // than failing halfway through.
  return Begin("BEGIN IMMEDIATE");
}

RegResult SqliteRegistry::BeginReadTransaction() {
  return Begin("BEGIN DEFERRED");
}

RegResult SqliteRegistry::Begin(const char* statement) {
  if (m_db == nullptr) return RegResult::kCantWrite;
  if (m_depth == 0) {
    if (Exec(m_db, statement) != SQLITE_OK) return RegResult::kCantWrite;
    m_broken = false;
  }
  ++m_depth;
  return RegResult::kSuccess;
}

RegResult SqliteRegistry::CommitTransaction() {
  if (m_db == nullptr || m_depth == 0) return RegResult::kCantWrite;
  if (--m_depth > 0) return m_broken ? RegResult::kCantWrite : RegResult::kSuccess;
  if (m_broken) {
    m_broken = false;
    if (sqlite3_get_autocommit(m_db) == 0) Exec(m_db, "ROLLBACK");
    return RegResult::kCantWrite;
  }
  if (Exec(m_db, "COMMIT") != SQLITE_OK) {
    if (sqlite3_get_autocommit(m_db) == 0) Exec(m_db, "ROLLBACK");
    return RegResult::kCantWrite;
  }
  return RegResult::kSuccess;
}

void SqliteRegistry::RollbackTransaction() {
  if (m_db == nullptr || m_depth == 0) return;
  if (sqlite3_get_autocommit(m_db) == 0) Exec(m_db, "ROLLBACK");
  if (--m_depth > 0) {
    // The enclosing transactions lost their writes too; they may only fail from here on,
    // and must not let later writes commit one by one.
    m_broken = true;
  } else {
    m_broken = false;
  }
}

RegResult SqliteRegistry::StoredKeyExists(const std::string& path, std::string* spelling) {
  if (m_db == nullptr) return RegResult::kCantRead;
  auto run = m_keyExists->Use();
  BindText(*run, 1, path);
  int rc = sqlite3_step(*run);
  if (rc == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(*run, 0);
    int bytes = sqlite3_column_bytes(*run, 0);
    *spelling =
        text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes))
             : path;
    return RegResult::kSuccess;
  }
  if (rc == SQLITE_DONE) return RegResult::kFileNotFound;
  return Failure(rc, false);
}

RegResult SqliteRegistry::StoreKeys(const std::vector<std::string>& paths) {
  if (m_db == nullptr || WritesBlocked()) return RegResult::kCantWrite;
  if (BeginTransaction() != RegResult::kSuccess) return RegResult::kCantWrite;
  for (const std::string& path : paths) {
    const RegResult written = WriteOrRollBack(*m_insertKey, path);
    if (written != RegResult::kSuccess) return written;
  }
  return CommitTransaction();
}

RegResult SqliteRegistry::WriteOrRollBack(Statement& statement, const std::string& path) {
  auto run = statement.Use();
  BindText(*run, 1, path);
  const int rc = sqlite3_step(*run);
  if (rc == SQLITE_DONE) return RegResult::kSuccess;
  const RegResult failure = Failure(rc, true);
  RollbackTransaction();
  return failure;
}

RegResult SqliteRegistry::LoadValue(const std::string& path, std::string_view name, RegType* type,
                                    std::vector<std::byte>* data) {
  if (m_db == nullptr) return RegResult::kCantRead;
  auto run = m_selectValue->Use();
  BindText(*run, 1, path);
  BindText(*run, 2, name);
  int rc = sqlite3_step(*run);
  if (rc == SQLITE_DONE) return RegResult::kFileNotFound;
  if (rc != SQLITE_ROW) return Failure(rc, false);
  *type = static_cast<RegType>(sqlite3_column_int64(*run, 0));
  const void* bytes = sqlite3_column_blob(*run, 1);
  int size = sqlite3_column_bytes(*run, 1);
  data->resize(static_cast<std::size_t>(size));
  if (size > 0) std::memcpy(data->data(), bytes, static_cast<std::size_t>(size));
  return RegResult::kSuccess;
}

RegResult SqliteRegistry::StoreValue(const std::string& path, std::string_view name, RegType type,
                                     std::span<const std::byte> data) {
  if (m_db == nullptr || WritesBlocked()) return RegResult::kCantWrite;
  auto run = m_upsertValue->Use();
  BindText(*run, 1, path);
  BindText(*run, 2, name);
  sqlite3_bind_int64(*run, 3, static_cast<sqlite3_int64>(type));
  if (data.empty()) {
    // A NULL would break "NOT NULL"; an empty value is a zero-length blob.
    sqlite3_bind_zeroblob(*run, 4, 0);
  } else {
    sqlite3_bind_blob(*run, 4, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
  }
  int rc = sqlite3_step(*run);
  if (rc != SQLITE_DONE) return Failure(rc, true);
  return RegResult::kSuccess;
}

RegResult SqliteRegistry::EnumerateSubkey(const std::string& path, std::uint32_t index,
                                          std::string* name) {
  if (m_db == nullptr) return RegResult::kCantRead;
  auto run = m_nthSubkey->Use();
  BindText(*run, 1, path.empty() ? path : path + "\\");
  sqlite3_bind_int64(*run, 2, index);
  int rc = sqlite3_step(*run);
  if (rc == SQLITE_DONE) return RegResult::kNoMoreItems;
  if (rc != SQLITE_ROW) return Failure(rc, false);
  const unsigned char* text = sqlite3_column_text(*run, 0);
  int bytes = sqlite3_column_bytes(*run, 0);
  name->assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes));
  return RegResult::kSuccess;
}

RegResult SqliteRegistry::RemoveKey(const std::string& path) {
  if (m_db == nullptr || WritesBlocked()) return RegResult::kCantWrite;
  if (BeginTransaction() != RegResult::kSuccess) return RegResult::kCantWrite;
  std::string spelling;
  RegResult exists = StoredKeyExists(path, &spelling);
  if (exists != RegResult::kSuccess) {
    CommitTransaction();
    return exists;
  }
  {
    auto run = m_hasSubkeys->Use();
    BindText(*run, 1, path + "\\");
    int rc = sqlite3_step(*run);
    if (rc == SQLITE_ROW) {
      CommitTransaction();
      return RegResult::kAccessDenied;
    }
    if (rc != SQLITE_DONE) {
      RegResult failure = Failure(rc, false);
      RollbackTransaction();
      return failure;
    }
  }
  for (Statement* statement : {m_deleteValues.get(), m_deleteKey.get()}) {
    const RegResult written = WriteOrRollBack(*statement, path);
    if (written != RegResult::kSuccess) return written;
  }
  return CommitTransaction();
}

}  // namespace ticktavo
