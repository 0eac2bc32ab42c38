#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "store/registry.h"
#ifndef _WIN32
#include "store/sqlite_registry.h"
#endif

namespace ticktavo::test {

// A fresh folder per test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
#ifdef _WIN32
    // No mkdtemp: a name of this process and a counter, made only if it is new.
    static int s_count = 0;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
      std::filesystem::path candidate =
          std::filesystem::temp_directory_path() /
          ("ticktavo-store-" + std::to_string(::getpid()) + "-" + std::to_string(++s_count));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) m_path = candidate;
    }
#else
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ticktavo-store-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr) m_path = name.data();
#endif
  }
  ~TempFolder() {
    std::error_code ignored;
    // Permission tests may leave read-only folders behind.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const {
    return m_path;
  }

 private:
  std::filesystem::path m_path;
};

// Forwards to another registry, logging every write, and can fail or kill the process at
// a chosen write to show what a failed or interrupted save leaves behind.
class FaultyRegistry final : public Registry {
 public:
  struct Write {
    std::string name;
    RegType type;
    std::vector<std::byte> data;
  };

  explicit FaultyRegistry(Registry& inner) : m_inner(inner) {}

  // The index-th SetValue (0-based) fails with kCantWrite / ends the process.
  int failAt = -1;
  int exitAt = -1;
  std::vector<Write> writes;

  RegResult CreateKey(Key parent, std::string_view subKey, RegAccess access, Key* result) override {
    return m_inner.CreateKey(parent, subKey, access, result);
  }
  RegResult OpenKey(Key parent, std::string_view subKey, RegAccess access, Key* result) override {
    return m_inner.OpenKey(parent, subKey, access, result);
  }
  RegResult QueryValue(Key key, std::string_view name, RegType* type, std::span<std::byte> buffer,
                       std::size_t* size) override {
    return m_inner.QueryValue(key, name, type, buffer, size);
  }
  RegResult SetValue(Key key, std::string_view name, RegType type,
                     std::span<const std::byte> data) override {
    int index = static_cast<int>(writes.size());
    writes.push_back(Write{std::string(name), type, {data.begin(), data.end()}});
    if (index == exitAt) _exit(7);
    if (index == failAt) return RegResult::kCantWrite;
    return m_inner.SetValue(key, name, type, data);
  }
  RegResult EnumKey(Key key, std::uint32_t index, std::string* name) override {
    return m_inner.EnumKey(key, index, name);
  }
  RegResult DeleteKey(Key parent, std::string_view subKey) override {
    return m_inner.DeleteKey(parent, subKey);
  }
  RegResult CloseKey(Key key) override { return m_inner.CloseKey(key); }
  RegResult BeginTransaction() override { return m_inner.BeginTransaction(); }
  RegResult CommitTransaction() override { return m_inner.CommitTransaction(); }
  void RollbackTransaction() override { m_inner.RollbackTransaction(); }

 private:
  Registry& m_inner;
};

#ifndef _WIN32
// A settings file the program cannot use at all: its folder would have to be made inside a
// plain file in `folder`.
inline std::unique_ptr<SqliteRegistry> OpenUnusableSettings(const TempFolder& folder,
                                                            std::ostream& errors) {
  std::ofstream(folder.path() / "plain") << "not a folder";
  return SqliteRegistry::Open(folder.path() / "plain" / "settings.db", errors);
}
#endif

inline std::vector<std::byte> Bytes(std::initializer_list<int> values) {
  std::vector<std::byte> bytes;
  for (int v : values) bytes.push_back(static_cast<std::byte>(v));
  return bytes;
}

inline std::vector<std::byte> TextBytes(std::string_view text) {
  std::vector<std::byte> bytes;
  for (char c : text) bytes.push_back(static_cast<std::byte>(c));
  return bytes;
}

}  // namespace ticktavo::test
