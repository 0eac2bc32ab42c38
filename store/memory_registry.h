#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/key_path_registry.h"

namespace ticktavo {

// A registry that lives in memory only: for tests, and for running without any settings
// file. Transactions keep a copy of the tree to go back to.
class MemoryRegistry final : public KeyPathRegistry {
 public:
  RegResult BeginTransaction() override;
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
  struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
      return CompareNamesNoCase(a, b) < 0;
    }
  };
  struct Value {
    RegType type;
    std::vector<std::byte> data;
  };
  using Values = std::map<std::string, Value, NoCaseLess>;
  // Full path (as first created) -> its values.
  using Tree = std::map<std::string, Values, NoCaseLess>;

  bool HasSubkeys(const std::string& path) const;

  Tree m_tree;
  std::optional<Tree> m_before;  // the tree as the outermost transaction found it
  int m_depth = 0;
  bool m_broken = false;  // a nested transaction rolled back: the enclosing ones fail
};

}  // namespace ticktavo
