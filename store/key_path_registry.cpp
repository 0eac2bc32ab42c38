#include "store/key_path_registry.h"

#include <algorithm>
#include <cstring>

namespace ticktavo {
namespace {

constexpr std::size_t kMaxValueNameLength = 16383;

// Names are counted in characters, as the registry counts them; text arrives as UTF-8.
std::size_t CharacterCount(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

unsigned char Fold(char c) {
  auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool Allows(RegAccess granted, RegAccess wanted) {
  return (static_cast<unsigned>(granted) & static_cast<unsigned>(wanted)) != 0;
}

bool ValidAccess(RegAccess access) {
  auto bits = static_cast<unsigned>(access);
  return bits != 0 && (bits & ~static_cast<unsigned>(RegAccess::kReadWrite)) == 0;
}

RegResult CheckValueName(std::string_view name) {
  if (name.find('\0') != std::string_view::npos || CharacterCount(name) > kMaxValueNameLength) {
    return RegResult::kInvalidParameter;
  }
  return RegResult::kSuccess;
}

}  // namespace

RegResult SplitKeyPath(std::string_view subKey, std::vector<std::string_view>* components) {
  components->clear();
  if (subKey.find('\0') != std::string_view::npos) return RegResult::kInvalidParameter;
  if (subKey.empty()) return RegResult::kSuccess;
  std::size_t start = 0;
  while (true) {
    std::size_t end = subKey.find('\\', start);
    std::string_view part =
        subKey.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || CharacterCount(part) > Registry::kMaxKeyNameLength) {
      return RegResult::kBadKey;
    }
    components->push_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return RegResult::kSuccess;
}

RegResult CopyValueOut(const std::vector<std::byte>& data, RegType storedType,
                       std::span<std::byte> buffer, std::size_t* size, RegType* type) {
  if (data.size() > buffer.size()) {
    if (size != nullptr) *size = data.size();
    return RegResult::kMoreData;
  }
  if (!data.empty()) std::memcpy(buffer.data(), data.data(), data.size());
  if (size != nullptr) *size = data.size();
  if (type != nullptr) *type = storedType;
  return RegResult::kSuccess;
}

int CompareNamesNoCase(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = Fold(a[i]);
    unsigned char y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

const KeyPathRegistry::Handle* KeyPathRegistry::Find(Key key) const {
  static const Handle kRoot{"", RegAccess::kReadWrite};
  if (key == kCurrentUser) return &kRoot;
  auto it = m_handles.find(key);
  return it == m_handles.end() ? nullptr : &it->second;
}

RegResult KeyPathRegistry::Resolve(Key parent, std::string_view subKey, std::string* path,
                                   std::vector<std::string_view>* components) const {
  const Handle* handle = Find(parent);
  if (handle == nullptr) return RegResult::kInvalidHandle;
  RegResult split = SplitKeyPath(subKey, components);
  if (split != RegResult::kSuccess) return split;
  *path = handle->path;
  for (std::string_view component : *components) {
    if (!path->empty()) path->push_back('\\');
    path->append(component);
  }
  return RegResult::kSuccess;
}

Registry::Key KeyPathRegistry::AddHandle(std::string path, RegAccess access) {
  if (m_nextHandle == kCurrentUser || m_nextHandle == 0) m_nextHandle = kCurrentUser + 1;
  Key key = m_nextHandle++;
  m_handles.emplace(key, Handle{std::move(path), access});
  return key;
}

RegResult KeyPathRegistry::CreateKey(Key parent, std::string_view subKey, RegAccess access,
                                     Key* result) {
  if (result == nullptr || !ValidAccess(access)) return RegResult::kInvalidParameter;
  std::string joined;
  std::vector<std::string_view> components;
  RegResult resolved = Resolve(parent, subKey, &joined, &components);
  if (resolved != RegResult::kSuccess) return resolved;

  // Walk down from the parent: keys that exist keep the spelling they were created with,
  // the missing ones are added together. Creating an existing key only opens it, so a
  // read-only store still opens what it has.
  std::string path = Find(parent)->path;
  std::vector<std::string> missing;
  for (std::string_view component : components) {
    std::string candidate =
        path.empty() ? std::string(component) : path + '\\' + std::string(component);
    std::string spelling;
    RegResult exists =
        missing.empty() ? StoredKeyExists(candidate, &spelling) : RegResult::kFileNotFound;
    if (exists == RegResult::kSuccess) {
      path = std::move(spelling);
    } else if (exists == RegResult::kFileNotFound) {
      path = std::move(candidate);
      missing.push_back(path);
    } else {
      return exists;
    }
  }
  if (!missing.empty()) {
    RegResult stored = StoreKeys(missing);
    if (stored != RegResult::kSuccess) return stored;
  }
  *result = AddHandle(std::move(path), access);
  return RegResult::kSuccess;
}

RegResult KeyPathRegistry::OpenKey(Key parent, std::string_view subKey, RegAccess access,
                                   Key* result) {
  if (result == nullptr || !ValidAccess(access)) return RegResult::kInvalidParameter;
  std::string path;
  std::vector<std::string_view> components;
  RegResult resolved = Resolve(parent, subKey, &path, &components);
  if (resolved != RegResult::kSuccess) return resolved;
  if (!path.empty()) {
    std::string spelling;
    RegResult exists = StoredKeyExists(path, &spelling);
    if (exists != RegResult::kSuccess) return exists;
    path = std::move(spelling);
  }
  *result = AddHandle(std::move(path), access);
  return RegResult::kSuccess;
}

RegResult KeyPathRegistry::QueryValue(Key key, std::string_view name, RegType* type,
                                      std::span<std::byte> buffer, std::size_t* size) {
  const Handle* handle = Find(key);
  if (handle == nullptr) return RegResult::kInvalidHandle;
  if (!Allows(handle->access, RegAccess::kRead)) return RegResult::kAccessDenied;
  RegResult valid = CheckValueName(name);
  if (valid != RegResult::kSuccess) return valid;
  // The root holds no values of its own.
  if (handle->path.empty()) return RegResult::kFileNotFound;

  RegType storedType = kRegNone;
  std::vector<std::byte> data;
  RegResult loaded = LoadValue(handle->path, name, &storedType, &data);
  if (loaded != RegResult::kSuccess) return loaded;
  return CopyValueOut(data, storedType, buffer, size, type);
}

RegResult KeyPathRegistry::SetValue(Key key, std::string_view name, RegType type,
                                    std::span<const std::byte> data) {
  const Handle* handle = Find(key);
  if (handle == nullptr) return RegResult::kInvalidHandle;
  if (!Allows(handle->access, RegAccess::kWrite)) return RegResult::kAccessDenied;
  RegResult valid = CheckValueName(name);
  if (valid != RegResult::kSuccess) return valid;
  if (handle->path.empty()) return RegResult::kAccessDenied;
  return StoreValue(handle->path, name, type, data);
}

RegResult KeyPathRegistry::EnumKey(Key key, std::uint32_t index, std::string* name) {
  if (name == nullptr) return RegResult::kInvalidParameter;
  const Handle* handle = Find(key);
  if (handle == nullptr) return RegResult::kInvalidHandle;
  if (!Allows(handle->access, RegAccess::kRead)) return RegResult::kAccessDenied;
  return EnumerateSubkey(handle->path, index, name);
}

RegResult KeyPathRegistry::DeleteKey(Key parent, std::string_view subKey) {
  if (subKey.empty()) return RegResult::kInvalidParameter;
  std::string path;
  std::vector<std::string_view> components;
  RegResult resolved = Resolve(parent, subKey, &path, &components);
  if (resolved != RegResult::kSuccess) return resolved;
  return RemoveKey(path);
}

RegResult KeyPathRegistry::CloseKey(Key key) {
  if (key == kCurrentUser) return RegResult::kSuccess;
  return m_handles.erase(key) == 1 ? RegResult::kSuccess : RegResult::kInvalidHandle;
}

}  // namespace ticktavo
