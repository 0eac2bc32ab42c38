#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ticktavo {

// Results numbered as the Windows registry numbers them, so that a native back-end can hand
// its codes through unchanged.
enum class RegResult : int {
  kSuccess = 0,
  kFileNotFound = 2,       // the key or value does not exist
  kAccessDenied = 5,       // wrong access for the handle, or deleting a key that has subkeys
  kInvalidHandle = 6,      // not an open key
  kInvalidParameter = 87,  // a NUL inside a name, or no subkey named for a delete
  kMoreData = 234,         // the value is larger than the caller's buffer
  kNoMoreItems = 259,      // enumeration index past the last subkey
  kBadKey = 1010,          // a key name the registry refuses
  kCantRead = 1012,        // the backing store could not be read
  kCantWrite = 1013,       // the backing store could not be written (read-only, full, busy)
  kKeyDeleted = 1018,      // the key behind an open handle was deleted meanwhile
};

// Value types, numbered as the registry numbers them. The stored type is whatever number was
// written; these are the ones the program writes.
using RegType = std::uint32_t;
inline constexpr RegType kRegNone = 0;
inline constexpr RegType kRegSz = 1;
inline constexpr RegType kRegBinary = 3;
inline constexpr RegType kRegDword = 4;

// What a handle may do: query values and enumerate subkeys (read), set values (write).
enum class RegAccess : unsigned { kRead = 1, kWrite = 2, kReadWrite = 3 };

// The per-user settings tree, shaped after the seven registry calls the program needs
// (create, open, query, set, enumerate, delete, close) with their semantics:
//
// - Keys form a tree below kCurrentUser. A subkey path names one key per component,
//   separated by '\'. An empty subkey path means the parent key itself for CreateKey and
//   OpenKey. A component that is empty (a leading, trailing or doubled '\') or longer than
//   kMaxKeyNameLength characters is refused with kBadKey; a NUL anywhere with
//   kInvalidParameter.
// - Key and value names compare case-insensitively (ASCII letters fold; other characters
//   compare as they are). A key keeps the spelling it was created with.
// - Values hold exactly the bytes and the type they were written with; reading never
//   converts.
//
// Writes group into one atomic change with BeginTransaction/CommitTransaction (or the
// RegistryTransaction guard below); outside a transaction every call stands alone.
// Transactions nest: only the outermost commit makes the change durable.
//
// An instance is used from one thread at a time. Two instances over the same file (two
// copies of the program) may run at once; each call and each transaction is atomic with
// respect to the other.
class Registry {
 public:
  using Key = std::uintptr_t;
  // The root of the tree, always open; closing it does nothing.
  static constexpr Key kCurrentUser = 0x80000001;
  static constexpr std::size_t kMaxKeyNameLength = 255;

  virtual ~Registry() = default;

  // Opens parent\subKey, creating it and any missing keys on the way. On success *result
  // is a new handle to close with CloseKey.
  virtual RegResult CreateKey(Key parent, std::string_view subKey, RegAccess access,
                              Key* result) = 0;
  // Opens parent\subKey only if it exists (kFileNotFound otherwise).
  virtual RegResult OpenKey(Key parent, std::string_view subKey, RegAccess access, Key* result) = 0;
  // Reads a value into buffer. When the value is missing (kFileNotFound) or larger than the
  // buffer (kMoreData) the buffer is left exactly as it was; with kMoreData, *size (when
  // given) is set to the bytes needed. On success *size is the bytes copied and *type
  // (when given) the stored type. Needs read access.
  virtual RegResult QueryValue(Key key, std::string_view name, RegType* type,
                               std::span<std::byte> buffer, std::size_t* size) = 0;
  // Stores exactly these bytes with this type, replacing any value of that name. Needs
  // write access.
  virtual RegResult SetValue(Key key, std::string_view name, RegType type,
                             std::span<const std::byte> data) = 0;
  // The name of the index-th direct subkey, in case-insensitive name order; kNoMoreItems
  // once the index passes the last one. Needs read access.
  virtual RegResult EnumKey(Key key, std::uint32_t index, std::string* name) = 0;
  // Removes parent\subKey and its values, only when it has no subkeys (kAccessDenied
  // otherwise). An empty subKey is refused, so a handle's own key is never deleted by it.
  virtual RegResult DeleteKey(Key parent, std::string_view subKey) = 0;
  virtual RegResult CloseKey(Key key) = 0;

  virtual RegResult BeginTransaction() = 0;
  // Starts a transaction meant for reading: it sees one moment of the store, as a write
  // transaction does, but does not take the write lock up front, so it does not wait for
  // another copy's save to finish. A write inside it takes the lock then. Ends like any other.
  virtual RegResult BeginReadTransaction() { return BeginTransaction(); }
  // Makes every write since the outermost BeginTransaction durable, or none of them: a
  // failed commit leaves the store as it was before the transaction.
  virtual RegResult CommitTransaction() = 0;
  // Drops every write since the outermost BeginTransaction.
  virtual void RollbackTransaction() = 0;
};

// Groups the writes made during its lifetime into one transaction. Without a successful
// Commit() the writes are rolled back when it goes out of scope.
class RegistryTransaction {
 public:
  enum class Kind { kWrite, kRead };
  explicit RegistryTransaction(Registry& registry, Kind kind = Kind::kWrite)
      : m_registry(registry),
        m_begun((kind == Kind::kRead ? registry.BeginReadTransaction()
                                     : registry.BeginTransaction()) == RegResult::kSuccess) {}
  ~RegistryTransaction() {
    if (m_begun) m_registry.RollbackTransaction();
  }
  RegistryTransaction(const RegistryTransaction&) = delete;
  RegistryTransaction& operator=(const RegistryTransaction&) = delete;

  // False when the store would not start a transaction (read-only, or the other copy held
  // the write lock past the busy timeout): writes made anyway would not be grouped.
  bool Begun() const { return m_begun; }

  // kCantWrite when the transaction could not even begin.
  RegResult Commit() {
    if (!m_begun) return RegResult::kCantWrite;
    m_begun = false;
    return m_registry.CommitTransaction();
  }

 private:
  Registry& m_registry;
  bool m_begun;
};

// A key handle that is closed when it goes out of scope.
class OpenKey {
 public:
  explicit OpenKey(Registry& registry) : m_registry(registry) {}
  ~OpenKey() { Close(); }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  Registry::Key Get() const { return m_key; }

  // Registry::CreateKey and Registry::OpenKey into this handle, closing the key it held.
  RegResult Create(Registry::Key parent, std::string_view subKey, RegAccess access) {
    Close();
    return m_registry.CreateKey(parent, subKey, access, &m_key);
  }
  RegResult Open(Registry::Key parent, std::string_view subKey, RegAccess access) {
    Close();
    return m_registry.OpenKey(parent, subKey, access, &m_key);
  }

 private:
  void Close() {
    if (m_key != 0) m_registry.CloseKey(m_key);
    m_key = 0;
  }

  Registry& m_registry;
  Registry::Key m_key = 0;
};

}  // namespace ticktavo
