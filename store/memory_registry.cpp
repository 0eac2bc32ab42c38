#include "store/memory_registry.h"

namespace ticktavo {
namespace {

// The part of `path` below `parent\`, or nullopt when path is not below parent.
std::optional<std::string_view> Below(std::string_view path, std::string_view parent) {
  if (parent.empty()) return path;
  if (path.size() <= parent.size() + 1 || path[parent.size()] != '\\' ||
      CompareNamesNoCase(path.substr(0, parent.size()), parent) != 0) {
    return std::nullopt;
  }
  return path.substr(parent.size() + 1);
}

}  // namespace

RegResult MemoryRegistry::BeginTransaction() {
  if (m_depth++ == 0) m_before = m_tree;
  return RegResult::kSuccess;
}

RegResult MemoryRegistry::CommitTransaction() {
  if (m_depth == 0) return RegResult::kCantWrite;
  bool broken = m_broken;
  if (--m_depth == 0) {
    m_before.reset();
    m_broken = false;
  }
  return broken ? RegResult::kCantWrite : RegResult::kSuccess;
}

void MemoryRegistry::RollbackTransaction() {
  if (m_depth == 0) return;
  if (m_before) m_tree = *m_before;
  if (--m_depth > 0) {
    m_broken = true;
  } else {
    m_before.reset();
    m_broken = false;
  }
}

RegResult MemoryRegistry::StoredKeyExists(const std::string& path, std::string* spelling) {
  auto key = m_tree.find(path);
  if (key == m_tree.end()) return RegResult::kFileNotFound;
  *spelling = key->first;
  return RegResult::kSuccess;
}

RegResult MemoryRegistry::StoreKeys(const std::vector<std::string>& paths) {
  if (m_broken) return RegResult::kCantWrite;
  for (const std::string& path : paths) m_tree.try_emplace(path);
  return RegResult::kSuccess;
}

RegResult MemoryRegistry::LoadValue(const std::string& path, std::string_view name, RegType* type,
                                    std::vector<std::byte>* data) {
  auto key = m_tree.find(path);
  if (key == m_tree.end()) return RegResult::kFileNotFound;
  auto value = key->second.find(name);
  if (value == key->second.end()) return RegResult::kFileNotFound;
  *type = value->second.type;
  *data = value->second.data;
  return RegResult::kSuccess;
}

RegResult MemoryRegistry::StoreValue(const std::string& path, std::string_view name, RegType type,
                                     std::span<const std::byte> data) {
  if (m_broken) return RegResult::kCantWrite;
  auto key = m_tree.find(path);
  if (key == m_tree.end()) return RegResult::kKeyDeleted;
  Value stored{type, std::vector<std::byte>(data.begin(), data.end())};
  auto value = key->second.find(name);
  if (value == key->second.end()) {
    key->second.emplace(std::string(name), std::move(stored));
  } else {
    value->second = std::move(stored);  // the name keeps its first spelling
  }
  return RegResult::kSuccess;
}

RegResult MemoryRegistry::EnumerateSubkey(const std::string& path, std::uint32_t index,
                                          std::string* name) {
  std::uint32_t seen = 0;
  for (const auto& [keyPath, values] : m_tree) {
    std::optional<std::string_view> rest = Below(keyPath, path);
    if (!rest || rest->find('\\') != std::string_view::npos) continue;
    if (seen++ == index) {
      *name = std::string(*rest);
      return RegResult::kSuccess;
    }
  }
  return RegResult::kNoMoreItems;
}

bool MemoryRegistry::HasSubkeys(const std::string& path) const {
  for (const auto& entry : m_tree) {
    if (Below(entry.first, path)) return true;
  }
  return false;
}

RegResult MemoryRegistry::RemoveKey(const std::string& path) {
  if (m_broken) return RegResult::kCantWrite;
  auto key = m_tree.find(path);
  if (key == m_tree.end()) return RegResult::kFileNotFound;
  if (HasSubkeys(path)) return RegResult::kAccessDenied;
  m_tree.erase(key);
  return RegResult::kSuccess;
}

}  // namespace ticktavo
