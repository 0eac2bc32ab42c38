#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/registry.h"

namespace ticktavo {

// Splits a subkey path into its components, or says why the registry refuses it.
RegResult SplitKeyPath(std::string_view subKey, std::vector<std::string_view>* components);

// The end of every QueryValue: copies a whole value into the caller's buffer, or, when it does
// not fit, leaves the buffer as it was and answers kMoreData with the size needed.
RegResult CopyValueOut(const std::vector<std::byte>& data, RegType storedType,
                       std::span<std::byte> buffer, std::size_t* size, RegType* type);

// ASCII case folding, the same folding SQLite's NOCASE collation does, so both back-ends
// agree on which names are equal and on the order of enumeration.
int CompareNamesNoCase(std::string_view a, std::string_view b);

// The registry semantics shared by every back-end that stores keys by their full path
// relative to kCurrentUser ("Software\Quelbrand\Ticktavo"): handles, access rights and
// name rules live here; the back-end only stores and finds rows. Paths handed to the
// back-end are valid and non-empty, except that "" names the root in EnumerateSubkey.
class KeyPathRegistry : public Registry {
 public:
  RegResult CreateKey(Key parent, std::string_view subKey, RegAccess access, Key* result) override;
  RegResult OpenKey(Key parent, std::string_view subKey, RegAccess access, Key* result) override;
  RegResult QueryValue(Key key, std::string_view name, RegType* type, std::span<std::byte> buffer,
                       std::size_t* size) override;
  RegResult SetValue(Key key, std::string_view name, RegType type,
                     std::span<const std::byte> data) override;
  RegResult EnumKey(Key key, std::uint32_t index, std::string* name) override;
  RegResult DeleteKey(Key parent, std::string_view subKey) override;
  RegResult CloseKey(Key key) override;

 protected:
  // kSuccess with the path as first created when the key exists, kFileNotFound when not,
  // or a store failure.
  virtual RegResult StoredKeyExists(const std::string& path, std::string* spelling) = 0;
  // Adds each path that is missing, atomically; paths come parents first.
  virtual RegResult StoreKeys(const std::vector<std::string>& paths) = 0;
  virtual RegResult LoadValue(const std::string& path, std::string_view name, RegType* type,
                              std::vector<std::byte>* data) = 0;
  // kKeyDeleted when the key no longer exists.
  virtual RegResult StoreValue(const std::string& path, std::string_view name, RegType type,
                               std::span<const std::byte> data) = 0;
  // The name (last component, as stored) of the index-th direct subkey in name order.
  virtual RegResult EnumerateSubkey(const std::string& path, std::uint32_t index,
                                    std::string* name) = 0;
  // Removes the key and its values when it exists and has no subkeys, atomically.
  virtual RegResult RemoveKey(const std::string& path) = 0;

 private:
  struct Handle {
    std::string path;  // "" for the root
    RegAccess access;
  };

  const Handle* Find(Key key) const;
  // parent's path joined with subKey, checked against the name rules.
  RegResult Resolve(Key parent, std::string_view subKey, std::string* path,
                    std::vector<std::string_view>* components) const;
  Key AddHandle(std::string path, RegAccess access);

  std::unordered_map<Key, Handle> m_handles;
  Key m_nextHandle = 1;
};

}  // namespace ticktavo
