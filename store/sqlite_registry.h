#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "store/key_path_registry.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ticktavo {

// The settings file: a SQLite database that users and tools can read with the sqlite3
// shell. Key paths are stored relative to the user's root ("Software\Quelbrand\Ticktavo"),
// every key including each parent is a row of reg_key, and each value a row of reg_value
// with its exact bytes:
//
//   CREATE TABLE reg_key   (path TEXT PRIMARY KEY COLLATE NOCASE);
//   CREATE TABLE reg_value (key  TEXT NOT NULL COLLATE NOCASE
//                                REFERENCES reg_key(path) ON DELETE CASCADE,
//                           name TEXT NOT NULL COLLATE NOCASE,
//                           type INTEGER NOT NULL,   -- REG_SZ = 1, REG_DWORD = 4
//                           data BLOB NOT NULL,      -- the exact bytes written
//                           PRIMARY KEY (key, name));
//   PRAGMA user_version = 1;
//
// Every call that changes more than one row runs in its own transaction, and callers group
// whole saves with BeginTransaction/CommitTransaction, so a crash never leaves half a save.
// Two copies of the program may have the file open at once: write transactions take the
// write lock up front and wait for the other copy (busy timeout) instead of failing, and
// each operation touches only its own rows, so neither copy loses the other's presets.
class SqliteRegistry final : public KeyPathRegistry {
 public:
  struct Options {
    // How long a call waits for the other copy's write to finish.
    int busyTimeoutMs = 5000;
    // The clock that stamps the name under which a damaged file is kept.
    std::function<std::time_t()> now = [] { return std::time(nullptr); };
  };

  // Opens the settings file, creating it and its folder when missing. Never fails: when
  // the file cannot be used, the registry still answers, with every call failing.
  // - A damaged or unreadable file is kept as "<file>.damaged-<UTC time>" (never
  //   overwritten), a fresh file takes its place, and one line says so on `errors`.
  // - A file that can be read but not written (read-only file or folder) is opened for
  //   reading; writes fail with kCantWrite, and one line says so on `errors`.
  // - A file that cannot be opened at all, or that a newer program wrote in a format this
  //   one does not know, is left untouched; every call fails, and one line says so.
  static std::unique_ptr<SqliteRegistry> Open(const std::filesystem::path& file,
                                              std::ostream& errors, Options options);
  static std::unique_ptr<SqliteRegistry> Open(const std::filesystem::path& file,
                                              std::ostream& errors) {
    return Open(file, errors, Options{});
  }

  // Opens an existing settings file for reading only, for tools that look at the settings
  // without being the program that keeps them: nothing is created, moved aside or written, and
  // every write fails with kCantWrite. Null, with the reason in `problem`, when the file is
  // missing or cannot be read as a settings file.
  static std::unique_ptr<SqliteRegistry> OpenReadOnly(const std::filesystem::path& file,
                                                      std::string* problem);

  ~SqliteRegistry() override;
  SqliteRegistry(const SqliteRegistry&) = delete;
  SqliteRegistry& operator=(const SqliteRegistry&) = delete;

  // False when the file could not be used at all and every call fails.
  bool IsOpen() const { return m_db != nullptr; }

  RegResult BeginTransaction() override;
  RegResult BeginReadTransaction() override;
  RegResult CommitTransaction() override;
  void RollbackTransaction() override;

 protected:
  RegResult StoredKeyExists(const std::string& path, std::string* spelling) override;
  RegResult StoreKeys(const std::vector<std::string>& paths) override;
  RegResult LoadValue(const std::string& path, std::string_view name, RegType* type,
                      std::vector<std::byte>* data) override;
  RegResult StoreValue(const std::string& path, std::string_view name, RegType type,
                       std::span<const std::byte> data) override;
  RegResult EnumerateSubkey(const std::string& path, std::uint32_t index,
                            std::string* name) override;
  RegResult RemoveKey(const std::string& path) override;

 private:
  class Statement;

  explicit SqliteRegistry(sqlite3* db);
  bool Prepare();
  // Starts the outermost transaction with this statement, or nests in the open one.
  RegResult Begin(const char* statement);
  // Maps a failed step to a result, and notices when SQLite has given up the transaction
  // on its own (disk full, I/O error), so later writes cannot slip out one by one.
  RegResult Failure(int code, bool writing);
  // Runs a write statement on one key path inside the open transaction; a failure rolls the
  // transaction back and is returned.
  RegResult WriteOrRollBack(Statement& statement, const std::string& path);
  bool WritesBlocked() const { return m_broken; }

  sqlite3* m_db = nullptr;
  std::unique_ptr<Statement> m_keyExists;
  std::unique_ptr<Statement> m_insertKey;
  std::unique_ptr<Statement> m_selectValue;
  std::unique_ptr<Statement> m_upsertValue;
  std::unique_ptr<Statement> m_nthSubkey;
  std::unique_ptr<Statement> m_hasSubkeys;
  std::unique_ptr<Statement> m_deleteValues;
  std::unique_ptr<Statement> m_deleteKey;
  int m_depth = 0;
  // The open transaction lost its writes (SQLite gave it up, or a nested one rolled back):
  // writes fail until the outermost transaction ends, and its commit fails.
  bool m_broken = false;
};

}  // namespace ticktavo
