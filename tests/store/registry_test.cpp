// The registry semantics every back-end must share, run against each of them.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "store/memory_registry.h"
#ifdef _WIN32
#include "store/windows_registry.h"
#include "windows_registry_scratch.h"
#else
#include "store/sqlite_registry.h"
#endif
#include "store_test_support.h"

namespace ticktavo {
namespace {

using test::Bytes;
using test::TextBytes;

struct Backend {
  const char* name;
  std::function<std::unique_ptr<Registry>(const std::filesystem::path& folder)> make;
};

void PrintTo(const Backend& backend, std::ostream* out) {
  *out << backend.name;
}

class RegistryTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override { m_registry = GetParam().make(m_folder.path()); }

  Registry& reg() { return *m_registry; }

  // A handle the fixture closes after the test.
  Registry::Key Create(std::string_view path, RegAccess access = RegAccess::kReadWrite) {
    OpenKey& key = m_keys.emplace_back(reg());
    EXPECT_EQ(key.Create(Registry::kCurrentUser, path, access), RegResult::kSuccess) << path;
    return key.Get();
  }

  bool Exists(std::string_view path) {
    return OpenKey(reg()).Open(Registry::kCurrentUser, path, RegAccess::kRead) ==
           RegResult::kSuccess;
  }

  std::vector<std::string> Subkeys(Registry::Key key) {
    std::vector<std::string> names;
    std::string name;
    std::uint32_t index = 0;
    RegResult result;
    while ((result = reg().EnumKey(key, index, &name)) == RegResult::kSuccess) {
      names.push_back(name);
      ++index;
    }
    EXPECT_EQ(result, RegResult::kNoMoreItems);
    return names;
  }

  std::vector<std::byte> Read(Registry::Key key, std::string_view name, RegType* type) {
    std::vector<std::byte> buffer(64, std::byte{0x5A});
    std::size_t size = 0;
    EXPECT_EQ(reg().QueryValue(key, name, type, buffer, &size), RegResult::kSuccess) << name;
    buffer.resize(size);
    return buffer;
  }

  test::TempFolder m_folder;
  std::unique_ptr<Registry> m_registry;
  std::deque<OpenKey> m_keys;  // closed before the registry goes
};

TEST_P(RegistryTest, CreateMakesEveryMissingParentAndOpenFindsOnlyExistingKeys) {
  EXPECT_FALSE(Exists("Software"));
  Registry::Key key = Create("Software\\Quelbrand\\Ticktavo");
  EXPECT_TRUE(Exists("Software"));
  EXPECT_TRUE(Exists("Software\\Quelbrand"));
  EXPECT_EQ(Subkeys(Registry::kCurrentUser), std::vector<std::string>{"Software"});

  OpenKey missing(reg());
  EXPECT_EQ(missing.Open(key, "Nope", RegAccess::kRead), RegResult::kFileNotFound);
  // Opening must not have created it.
  EXPECT_EQ(missing.Open(key, "Nope", RegAccess::kRead), RegResult::kFileNotFound);
  EXPECT_EQ(Subkeys(key), std::vector<std::string>{});

  // Creating an existing key opens it, values intact.
  ASSERT_EQ(reg().SetValue(key, "BPMinute", kRegDword, Bytes({0xC8, 0, 0, 0})),
            RegResult::kSuccess);
  Registry::Key again = Create("Software\\Quelbrand\\Ticktavo");
  RegType type = kRegNone;
  EXPECT_EQ(Read(again, "BPMinute", &type), Bytes({0xC8, 0, 0, 0}));
}

TEST_P(RegistryTest, KeyAndValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  Registry::Key key = Create("Software\\Quelbrand\\Ticktavo");
  OpenKey other(reg());
  ASSERT_EQ(
      other.Open(Registry::kCurrentUser, "SOFTWARE\\quelbrand\\TickTavo", RegAccess::kReadWrite),
      RegResult::kSuccess);

  ASSERT_EQ(reg().SetValue(key, "Custom Measure", kRegSz, TextBytes(std::string("12\0", 3))),
            RegResult::kSuccess);
  // The same value under another spelling: replaced, not added.
  ASSERT_EQ(reg().SetValue(other.Get(), "CUSTOM MEASURE", kRegSz, TextBytes(std::string("3\0", 2))),
            RegResult::kSuccess);
  RegType type = kRegNone;
  EXPECT_EQ(Read(key, "custom measure", &type), TextBytes(std::string("3\0", 2)));

  // A preset created under another case is the same preset; the listing keeps the first
  // spelling of every key on the way.
  Create("software\\quelbrand\\ticktavo\\Fast");
  Create("Software\\Quelbrand\\Ticktavo\\FAST");
  EXPECT_EQ(Subkeys(key), std::vector<std::string>{"Fast"});
  EXPECT_EQ(Subkeys(Registry::kCurrentUser), std::vector<std::string>{"Software"});
}

TEST_P(RegistryTest, BackslashesInANameMakeDeeperKeys) {
  Registry::Key main = Create("Software\\Quelbrand\\Ticktavo");
  Create("Software\\Quelbrand\\Ticktavo\\Songs\\Waltz");
  EXPECT_EQ(Subkeys(main), std::vector<std::string>{"Songs"});
  OpenKey songs(reg());
  ASSERT_EQ(songs.Open(main, "songs", RegAccess::kRead), RegResult::kSuccess);
  EXPECT_EQ(Subkeys(songs.Get()), std::vector<std::string>{"Waltz"});
}

TEST_P(RegistryTest, KeyNameRules) {
  const std::string longest(Registry::kMaxKeyNameLength, 'k');
  // Counted in characters: 255 two-byte characters are allowed, 256 are not.
  std::string wide;
  for (std::size_t i = 0; i < Registry::kMaxKeyNameLength; ++i) wide += "\xC3\xA9";
  struct Case {
    std::string subKey;
    RegResult expected;
  };
  const Case cases[] = {
      {"Software\\" + longest, RegResult::kSuccess},
      {"Software\\" + wide, RegResult::kSuccess},
      {"Software\\" + longest + "k", RegResult::kBadKey},
      {"Software\\" + wide + "\xC3\xA9", RegResult::kBadKey},
      {"\\Software", RegResult::kBadKey},
      {"Software\\", RegResult::kBadKey},
      {"Software\\\\Quelbrand", RegResult::kBadKey},
      {"\\", RegResult::kBadKey},
      {std::string("Soft\0ware", 9), RegResult::kInvalidParameter},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OpenKey(reg()).Create(Registry::kCurrentUser, c.subKey, RegAccess::kRead), c.expected)
        << c.subKey;
  }
  // A refused name creates nothing on the way.
  EXPECT_EQ(Subkeys(Create("Software")).size(), 2u);
}

TEST_P(RegistryTest, ValuesKeepExactBytesAndType) {
  Registry::Key key = Create("Software\\Quelbrand\\Ticktavo");
  struct Case {
    const char* name;
    RegType type;
    std::vector<std::byte> data;
  };
  const Case cases[] = {
      {"BPMinute", kRegDword, Bytes({0xC8, 0x00, 0x00, 0x00})},
      {"Negative", kRegDword, Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
      {"Blinking", kRegDword, Bytes({0x01})},  // one byte, DWORD type
      {"Custom Measure", kRegSz, TextBytes(std::string("31212012121\0", 12))},
      {"Embedded zero", kRegBinary, Bytes({0x00, 0x41, 0x00, 0xFF})},
      {"Empty", kRegSz, {}},
      {"Odd type", 0x1234, Bytes({0x07})},
      {"", kRegSz, TextBytes(std::string("default\0", 8))},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(reg().SetValue(key, c.name, c.type, c.data), RegResult::kSuccess) << c.name;
  }
  for (const Case& c : cases) {
    RegType type = kRegNone;
    EXPECT_EQ(Read(key, c.name, &type), c.data) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
  }
  // Rewriting changes type and length together.
  ASSERT_EQ(reg().SetValue(key, "Blinking", kRegBinary, Bytes({0, 0, 0, 0})), RegResult::kSuccess);
  RegType type = kRegNone;
  EXPECT_EQ(Read(key, "Blinking", &type), Bytes({0, 0, 0, 0}));
  EXPECT_EQ(type, kRegBinary);
}

TEST_P(RegistryTest, ABufferTooSmallOrAMissingValueLeavesTheBufferAlone) {
  Registry::Key key = Create("Software\\Quelbrand\\Ticktavo");
  ASSERT_EQ(reg().SetValue(key, "Blinking", kRegDword, Bytes({0, 0, 0, 0})), RegResult::kSuccess);

  std::byte one{0xAB};
  std::size_t size = 99;
  RegType type = 99;
  EXPECT_EQ(reg().QueryValue(key, "Blinking", &type, std::span<std::byte>(&one, 1), &size),
            RegResult::kMoreData);
  EXPECT_EQ(one, std::byte{0xAB});
  EXPECT_EQ(size, 4u);  // what it would need

  size = 99;
  EXPECT_EQ(reg().QueryValue(key, "Missing", &type, std::span<std::byte>(&one, 1), &size),
            RegResult::kFileNotFound);
  EXPECT_EQ(one, std::byte{0xAB});

  std::array<std::byte, 4> exact{};
  EXPECT_EQ(reg().QueryValue(key, "Blinking", &type, exact, &size), RegResult::kSuccess);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(type, kRegDword);
}

TEST_P(RegistryTest, EnumerationListsDirectSubkeysInNameOrderAndFailsPastTheLast) {
  Registry::Key main = Create("Software\\Quelbrand\\Ticktavo");
  for (const char* name : {"gamma", "Alpha", "beta", "Beta two", "Alpha\\Deep"}) {
    Create(std::string("Software\\Quelbrand\\Ticktavo\\") + name);
  }
  // Neighbours whose names merely start like the main key's are not its subkeys.
  Create("Software\\Quelbrand\\TicktavoX\\Stray");
  Create("Software\\Quelbrand\\Ticktav");

  // Order ignores case: alpha < beta < beta two < gamma.
  EXPECT_EQ(Subkeys(main), (std::vector<std::string>{"Alpha", "beta", "Beta two", "gamma"}));
  std::string name = "unchanged";
  EXPECT_EQ(reg().EnumKey(main, 4, &name), RegResult::kNoMoreItems);
  EXPECT_EQ(reg().EnumKey(main, 1000, &name), RegResult::kNoMoreItems);
}

TEST_P(RegistryTest, DeleteRemovesOnlyAKeyWithoutSubkeys) {
  Registry::Key main = Create("Software\\Quelbrand\\Ticktavo");
  Registry::Key songs = Create("Software\\Quelbrand\\Ticktavo\\Songs\\Waltz");
  ASSERT_EQ(reg().SetValue(songs, "BPMinute", kRegDword, Bytes({90, 0, 0, 0})),
            RegResult::kSuccess);

  EXPECT_EQ(reg().DeleteKey(main, "Songs"), RegResult::kAccessDenied);
  EXPECT_TRUE(Exists("Software\\Quelbrand\\Ticktavo\\Songs\\Waltz"));
  EXPECT_EQ(reg().DeleteKey(main, "SONGS\\waltz"), RegResult::kSuccess);
  EXPECT_FALSE(Exists("Software\\Quelbrand\\Ticktavo\\Songs\\Waltz"));
  EXPECT_EQ(reg().DeleteKey(main, "Songs\\Waltz"), RegResult::kFileNotFound);

  // Its values went with it: a new key of that name starts empty.
  Registry::Key again = Create("Software\\Quelbrand\\Ticktavo\\Songs\\Waltz");
  std::array<std::byte, 4> buffer{};
  EXPECT_EQ(reg().QueryValue(again, "BPMinute", nullptr, buffer, nullptr),
            RegResult::kFileNotFound);

  // A handle whose key was deleted can no longer write.
  EXPECT_EQ(reg().DeleteKey(main, "Songs\\Waltz"), RegResult::kSuccess);
  EXPECT_EQ(reg().SetValue(again, "BPMinute", kRegDword, Bytes({1, 0, 0, 0})),
            RegResult::kKeyDeleted);

  // No subkey named: nothing is deleted, least of all the handle's own key.
  EXPECT_EQ(reg().DeleteKey(main, ""), RegResult::kInvalidParameter);
  EXPECT_TRUE(Exists("Software\\Quelbrand\\Ticktavo"));
  EXPECT_EQ(reg().DeleteKey(main, "Songs\\"), RegResult::kBadKey);
  EXPECT_TRUE(Exists("Software\\Quelbrand\\Ticktavo\\Songs"));
}

TEST_P(RegistryTest, HandlesEnforceAccessAndDieWhenClosed) {
  Registry::Key reader = Create("Software\\Quelbrand\\Ticktavo", RegAccess::kRead);
  Registry::Key writer = Create("Software\\Quelbrand\\Ticktavo", RegAccess::kWrite);
  EXPECT_EQ(reg().SetValue(reader, "BPMinute", kRegDword, Bytes({1, 0, 0, 0})),
            RegResult::kAccessDenied);
  EXPECT_EQ(reg().SetValue(writer, "BPMinute", kRegDword, Bytes({1, 0, 0, 0})),
            RegResult::kSuccess);
  std::array<std::byte, 4> buffer{};
  EXPECT_EQ(reg().QueryValue(writer, "BPMinute", nullptr, buffer, nullptr),
            RegResult::kAccessDenied);
  std::string name;
  EXPECT_EQ(reg().EnumKey(writer, 0, &name), RegResult::kAccessDenied);

  EXPECT_EQ(reg().CloseKey(reader), RegResult::kSuccess);
  EXPECT_EQ(reg().CloseKey(reader), RegResult::kInvalidHandle);
  EXPECT_EQ(reg().QueryValue(reader, "BPMinute", nullptr, buffer, nullptr),
            RegResult::kInvalidHandle);
  Registry::Key key = 0;
  EXPECT_EQ(reg().OpenKey(reader, "", RegAccess::kRead, &key), RegResult::kInvalidHandle);
  EXPECT_EQ(reg().CloseKey(Registry::kCurrentUser), RegResult::kSuccess);
  EXPECT_EQ(reg().CloseKey(writer), RegResult::kSuccess);

  // The self-closing handle has closed its key once out of scope.
  Registry::Key held = 0;
  {
    OpenKey scoped(reg());
    ASSERT_EQ(scoped.Open(Registry::kCurrentUser, "Software", RegAccess::kRead),
              RegResult::kSuccess);
    held = scoped.Get();
  }
  EXPECT_EQ(reg().CloseKey(held), RegResult::kInvalidHandle);
}

TEST_P(RegistryTest, TransactionsLandWholeOrNotAtAll) {
  Registry::Key main = Create("Software\\Quelbrand\\Ticktavo");
  ASSERT_EQ(reg().SetValue(main, "BPMinute", kRegDword, Bytes({100, 0, 0, 0})),
            RegResult::kSuccess);
  {
    RegistryTransaction transaction(reg());
    ASSERT_TRUE(transaction.Begun());
    Create("Software\\Quelbrand\\Ticktavo\\Dropped");
    ASSERT_EQ(reg().SetValue(main, "BPMinute", kRegDword, Bytes({50, 0, 0, 0})),
              RegResult::kSuccess);
    // Not committed: rolled back here.
  }
  EXPECT_FALSE(Exists("Software\\Quelbrand\\Ticktavo\\Dropped"));
  RegType type = kRegNone;
  EXPECT_EQ(Read(main, "BPMinute", &type), Bytes({100, 0, 0, 0}));

  {
    RegistryTransaction transaction(reg());
    Create("Software\\Quelbrand\\Ticktavo\\Kept");
    ASSERT_EQ(reg().SetValue(main, "BPMinute", kRegDword, Bytes({60, 0, 0, 0})),
              RegResult::kSuccess);
    EXPECT_EQ(transaction.Commit(), RegResult::kSuccess);
  }
  EXPECT_TRUE(Exists("Software\\Quelbrand\\Ticktavo\\Kept"));
  EXPECT_EQ(Read(main, "BPMinute", &type), Bytes({60, 0, 0, 0}));

  // A nested transaction that rolls back dooms the outer one: later writes fail instead of
  // landing on their own, and the outer commit reports the failure.
  {
    RegistryTransaction outer(reg());
    ASSERT_EQ(reg().SetValue(main, "BPMinute", kRegDword, Bytes({70, 0, 0, 0})),
              RegResult::kSuccess);
    { RegistryTransaction inner(reg()); }
    EXPECT_NE(reg().SetValue(main, "BPMinute", kRegDword, Bytes({80, 0, 0, 0})),
              RegResult::kSuccess);
    EXPECT_NE(outer.Commit(), RegResult::kSuccess);
  }
  EXPECT_EQ(Read(main, "BPMinute", &type), Bytes({60, 0, 0, 0}));
}

// The registry the program really uses on this platform, beside the in-memory one.
#ifdef _WIN32
Backend PlatformBackend() {
  // The real registry, below a scratch key that stands for the user's root.
  return {"Windows", [](const std::filesystem::path& folder) -> std::unique_ptr<Registry> {
            return std::make_unique<WindowsRegistry>(test::ScratchRegistryRoot(folder));
          }};
}
#else
Backend PlatformBackend() {
  return {"Sqlite", [](const std::filesystem::path& folder) -> std::unique_ptr<Registry> {
            std::ostringstream errors;
            auto registry = SqliteRegistry::Open(folder / "settings.db", errors);
            EXPECT_TRUE(registry->IsOpen());
            EXPECT_EQ(errors.str(), "");
            return registry;
          }};
}
#endif

INSTANTIATE_TEST_SUITE_P(
    Backends, RegistryTest,
    ::testing::Values(Backend{"Memory",
                              [](const std::filesystem::path&) -> std::unique_ptr<Registry> {
                                return std::make_unique<MemoryRegistry>();
                              }},
                      PlatformBackend()),
    [](const ::testing::TestParamInfo<Backend>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ticktavo
