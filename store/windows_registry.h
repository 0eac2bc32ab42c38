#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/registry.h"

namespace ticktavo {

// The Windows registry itself: kCurrentUser is HKEY_CURRENT_USER (or, for tests, a key below
// it given as rootPath), so the settings live in
// HKEY_CURRENT_USER\Software\Quelbrand\Ticktavo, where regedit and `reg query` show them.
//
// Key names are UTF-8 here and UTF-16 at the registry; values go through the registry's ANSI
// calls, which store and return exactly the bytes given for DWORD values (one byte for
// "Blinking") and text length + 1 for REG_SZ. The name rules of the Registry seam (empty
// components, NUL, 255 characters) are checked before the registry sees a path, so every
// back-end refuses the same names.
//
// Transactions: the registry offers none that every Windows (or Wine) has, so writes land at
// once and a transaction keeps an undo record: the values a write replaced and the keys it
// created, put back by a rollback. A crash in the middle of a save leaves the values written
// so far, as it always did with the registry; another copy of the program can see a save
// under way.
class WindowsRegistry final : public Registry {
 public:
  // rootPath: a key below HKEY_CURRENT_USER that stands for kCurrentUser (empty: the user's
  // root itself).
  explicit WindowsRegistry(std::string rootPath = {});
  ~WindowsRegistry() override;

  WindowsRegistry(const WindowsRegistry&) = delete;
  WindowsRegistry& operator=(const WindowsRegistry&) = delete;

  RegResult CreateKey(Key parent, std::string_view subKey, RegAccess access, Key* result) override;
  RegResult OpenKey(Key parent, std::string_view subKey, RegAccess access, Key* result) override;
  RegResult QueryValue(Key key, std::string_view name, RegType* type, std::span<std::byte> buffer,
                       std::size_t* size) override;
  RegResult SetValue(Key key, std::string_view name, RegType type,
                     std::span<const std::byte> data) override;
  RegResult EnumKey(Key key, std::uint32_t index, std::string* name) override;
  RegResult DeleteKey(Key parent, std::string_view subKey) override;
  RegResult CloseKey(Key key) override;

  RegResult BeginTransaction() override;
  RegResult CommitTransaction() override;
  void RollbackTransaction() override;

 private:
  struct Value {
    std::string name;
    RegType type = kRegNone;
    std::vector<std::byte> data;
  };
  // What a rollback puts back, newest first.
  struct Undo {
    std::wstring path;  // below the root
    // The key did not exist before: remove it.
    bool removeKey = false;
    // Otherwise: values to restore (nullopt: the value did not exist, delete it).
    std::string valueName;
    std::optional<Value> before;
    // A deleted key: recreate it with these values.
    bool recreate = false;
    std::vector<Value> values;
  };

  struct Handle {
    std::wstring path;  // below the root; "" for the root
    RegAccess access;
  };

  const Handle* Find(Key key) const;
  // The path below HKEY_CURRENT_USER of a path below the root.
  std::wstring Full(const std::wstring& path) const;
  RegResult Open(Key parent, std::string_view subKey, RegAccess access, bool create, Key* result);
  void Remember(Undo undo);
  void Restore(const Undo& undo);

  std::wstring m_root;
  std::unordered_map<Key, Handle> m_paths;  // open handle (an HKEY) -> what it is
  int m_depth = 0;
  bool m_broken = false;  // a nested transaction rolled back: the enclosing ones fail
  std::vector<Undo> m_undo;
};

}  // namespace ticktavo
