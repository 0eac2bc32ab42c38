// The settings file itself: its schema as other tools see it, what happens to a damaged or
// unwritable file, and what two copies of the program or a crash mid-save leave in it.

#include "store/sqlite_registry.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "recording_view.h"
#include "store/settings_file.h"
#include "store/settings_store.h"
#include "store_test_support.h"

namespace ticktavo {
namespace {

using test::RecordingView;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Looks at the file the way the sqlite3 shell would, bypassing the registry.
class RawDb {
 public:
  explicit RawDb(const std::filesystem::path& file) {
    sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
  }
  ~RawDb() { sqlite3_close(m_db); }
  RawDb(const RawDb&) = delete;
  RawDb& operator=(const RawDb&) = delete;

  // Every row of the query's first column (as text, blobs in hex), or the error.
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      return {std::string("error: ") + sqlite3_errmsg(m_db)};
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
      if (sqlite3_column_type(statement, 0) == SQLITE_BLOB) {
        const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement, 0));
        std::string hex;
        char digits[3];
        for (int i = 0; i < sqlite3_column_bytes(statement, 0); ++i) {
          std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
          hex += digits;
        }
        rows.push_back(hex);
      } else {
        const unsigned char* text = sqlite3_column_text(statement, 0);
        rows.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
      }
    }
    sqlite3_finalize(statement);
    return rows;
  }
  int Exec(const std::string& sql) {
    return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
  }

 private:
  sqlite3* m_db = nullptr;
};

class SettingsFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<SqliteRegistry> Open(std::string* errorsOut = nullptr) {
    std::ostringstream errors;
    SqliteRegistry::Options options;
    options.now = [] { return std::time_t{0}; };  // 1970-01-01 00:00:00 UTC
    auto registry = SqliteRegistry::Open(m_file, errors, options);
    if (errorsOut) {
      *errorsOut = errors.str();
    } else {
      EXPECT_EQ(errors.str(), "");
    }
    return registry;
  }

  // Saves the view's settings to the main key through a fresh connection.
  void SaveMain(RecordingView& view) {
    auto registry = Open();
    SettingsStore store(*registry, view);
    ASSERT_TRUE(store.SaveSettings(std::nullopt));
  }
  // Loads the main key through a fresh connection into a fresh view.
  RecordingView LoadMain() {
    auto registry = Open();
    RecordingView view;
    SettingsStore(*registry, view).LoadSettings(std::nullopt);
    return view;
  }

  test::TempFolder m_folder;
  std::filesystem::path m_file = m_folder.path() / "ticktavo" / "settings.db";
};

TEST_F(SettingsFileTest, FileHasTheDocumentedSchemaParentRowsAndExactBytes) {
  RecordingView view;
  view.bpm = 200;
  view.blinking = true;
  view.customText = "31";
  SaveMain(view);
  ASSERT_TRUE(std::filesystem::exists(m_file));

  RawDb db(m_file);
  EXPECT_EQ(db.Column("PRAGMA user_version"), std::vector<std::string>{"1"});
  EXPECT_EQ(db.Column("SELECT sql FROM sqlite_master WHERE type = 'table' ORDER BY name"),
            (std::vector<std::string>{
                "CREATE TABLE reg_key   (path TEXT PRIMARY KEY COLLATE NOCASE)",
                "CREATE TABLE reg_value (key  TEXT NOT NULL COLLATE NOCASE REFERENCES "
                "reg_key(path) ON DELETE CASCADE,\n"
                "                        name TEXT NOT NULL COLLATE NOCASE,\n"
                "                        type INTEGER NOT NULL,   -- REG_SZ = 1, REG_DWORD = 4\n"
                "                        data BLOB NOT NULL,      -- the exact bytes written\n"
                "                        PRIMARY KEY (key, name))"}));
  EXPECT_EQ(db.Column("SELECT path FROM reg_key ORDER BY path"),
            (std::vector<std::string>{"Software", "Software\\Quelbrand",
                                      "Software\\Quelbrand\\Ticktavo"}));
  // 200 = 0xC8 in four little-endian bytes; the flag one byte, typed DWORD; the text with
  // its zero, typed SZ. 39 musical values (7 of them the practice tools) + "Preset" + 4 window
  // edges = 44 rows.
  const std::string where = " FROM reg_value WHERE key = 'Software\\Quelbrand\\Ticktavo' AND ";
  EXPECT_EQ(db.Column("SELECT data" + where + "name = 'BPMinute'"),
            std::vector<std::string>{"C8000000"});
  EXPECT_EQ(db.Column("SELECT type" + where + "name = 'BPMinute'"), std::vector<std::string>{"4"});
  EXPECT_EQ(db.Column("SELECT data" + where + "name = 'Blinking'"), std::vector<std::string>{"01"});
  EXPECT_EQ(db.Column("SELECT type" + where + "name = 'Blinking'"), std::vector<std::string>{"4"});
  EXPECT_EQ(db.Column("SELECT data" + where + "name = 'Custom Measure'"),
            std::vector<std::string>{"333100"});
  EXPECT_EQ(db.Column("SELECT type" + where + "name = 'Custom Measure'"),
            std::vector<std::string>{"1"});
  EXPECT_EQ(db.Column("SELECT count(*) FROM reg_value"), std::vector<std::string>{"44"});
}

TEST_F(SettingsFileTest, SettingsSurviveARestartAndAValueWrittenByHandIsRead) {
  RecordingView view;
  view.bpm = 77;
  view.blinking = false;
  SaveMain(view);
  {
    // "Blinking" as an earlier run stored it: one byte, type DWORD, set with the shell.
    RawDb db(m_file);
    ASSERT_EQ(db.Exec("UPDATE reg_value SET data = x'01' WHERE name = 'blinking'"), SQLITE_OK);
  }
  RecordingView loaded = LoadMain();
  EXPECT_EQ(loaded.bpm, 77);
  EXPECT_TRUE(loaded.blinking);
}

TEST_F(SettingsFileTest, ADamagedFileIsKeptAsideAndTheDefaultsAreUsed) {
  std::filesystem::create_directories(m_file.parent_path());
  const std::string garbage(4096, 'x');
  WriteFile(m_file, garbage);

  std::string errors;
  auto registry = Open(&errors);
  ASSERT_TRUE(registry->IsOpen());
  const std::filesystem::path kept = m_file.string() + ".damaged-19700101T000000Z";
  EXPECT_EQ(ReadFile(kept), garbage);
  EXPECT_EQ(Lines(errors), 1u) << errors;
  EXPECT_NE(errors.find(kept.string()), std::string::npos) << errors;

  // A fresh file took its place and works; the first start's defaults apply.
  RecordingView view;
  SettingsStore store(*registry, view);
  store.LoadSettings(std::nullopt);
  EXPECT_EQ(view.bpm, 200);
  EXPECT_TRUE(store.SaveSettings(std::nullopt));
  registry.reset();

  // Damaged again within the same second: the first kept file is not overwritten.
  WriteFile(m_file, "second garbage, long enough to be noticed as not a database at all");
  registry = Open(&errors);
  EXPECT_EQ(ReadFile(kept), garbage);
  EXPECT_EQ(ReadFile(m_file.string() + ".damaged-19700101T000000Z-2"),
            "second garbage, long enough to be noticed as not a database at all");
}

TEST_F(SettingsFileTest, CorruptPagesAreNoticedAtOpen) {
  RecordingView view;
  SaveMain(view);
  {
    auto registry = Open();
    SettingsStore store(*registry, view);
    for (int i = 0; i < 40; ++i) {
      view.nameText = "Preset number " + std::to_string(i);
      store.OnSavePreset();
    }
  }
  // Scribble over the middle of the file, past the header page.
  std::string content = ReadFile(m_file);
  ASSERT_GT(content.size(), 3 * 4096u);
  for (std::size_t i = 4096; i < 3 * 4096; ++i) content[i] = static_cast<char>(0xFF);
  WriteFile(m_file, content);

  std::string errors;
  auto registry = Open(&errors);
  EXPECT_TRUE(registry->IsOpen());
  EXPECT_EQ(Lines(errors), 1u) << errors;
  EXPECT_TRUE(std::filesystem::exists(m_file.string() + ".damaged-19700101T000000Z"));
  EXPECT_EQ(LoadMain().bpm, 200);
}

// Found by fuzzing the settings file: damage that only the full integrity check sees (an index
// that no longer matches its table) was taken for a good file, and the program wrote into it:
// lookups went through the bad index, so a preset that exists was written again as a second row.
TEST_F(SettingsFileTest, AnIndexThatDisagreesWithItsTableIsNoticedAtOpen) {
  RecordingView view;
  SaveMain(view);
  {
    auto registry = Open();
    SettingsStore store(*registry, view);
    for (const char* name : {"Alpha", "Bravo", "Zulu"}) {
      view.nameText = name;
      store.OnSavePreset();
    }
  }
  long long indexPage = 0;
  {
    RawDb raw(m_file);
    indexPage = std::stoll(
        raw.Column("SELECT rootpage FROM sqlite_master WHERE name = 'sqlite_autoindex_reg_key_1'")
            .at(0));
  }
  // The index's last key, and only it, renamed to a later one: the index stays in order.
  std::string content = ReadFile(m_file);
  const std::size_t pageStart = static_cast<std::size_t>(indexPage - 1) * 4096;
  const std::size_t at = content.find("Ticktavo\\Zulu", pageStart);
  ASSERT_LT(at, pageStart + 4096);
  content[at + std::string("Ticktavo\\Zul").size()] = 'z';
  WriteFile(m_file, content);
  {
    RawDb raw(m_file);
    ASSERT_EQ(raw.Column("PRAGMA quick_check"), std::vector<std::string>{"ok"});
    ASSERT_NE(raw.Column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  }

  std::string errors;
  auto registry = Open(&errors);
  EXPECT_TRUE(registry->IsOpen());
  EXPECT_EQ(Lines(errors), 1u) << errors;
  EXPECT_TRUE(ReadFile(m_file.string() + ".damaged-19700101T000000Z") == content);
  registry.reset();
  EXPECT_TRUE(LoadMain().presets.empty());
}

TEST_F(SettingsFileTest, ADatabaseWithOtherTablesIsNotTakenForSettings) {
  std::filesystem::create_directories(m_file.parent_path());
  for (const char* sql : {"CREATE TABLE notes (text TEXT)",
                          "CREATE TABLE reg_key (path TEXT); PRAGMA user_version = 1"}) {
    std::filesystem::remove(m_file);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    std::string errors;
    auto registry = Open(&errors);
    EXPECT_TRUE(registry->IsOpen()) << sql;
    EXPECT_EQ(Lines(errors), 1u) << errors;
    registry.reset();
    for (const auto& entry : std::filesystem::directory_iterator(m_file.parent_path())) {
      if (entry.path().filename().string().starts_with("settings.db.damaged-")) {
        std::filesystem::remove(entry.path());
      }
    }
  }
}

TEST_F(SettingsFileTest, AFileFromANewerVersionIsLeftAlone) {
  std::filesystem::create_directories(m_file.parent_path());
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE future (x); PRAGMA user_version = 2", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  const std::string before = ReadFile(m_file);
  std::string errors;
  auto registry = Open(&errors);
  EXPECT_FALSE(registry->IsOpen());
  EXPECT_EQ(Lines(errors), 1u) << errors;

  // The program runs on its defaults and saves nothing.
  RecordingView view;
  view.bpm = 60;
  SettingsStore store(*registry, view);
  store.LoadSettings(std::nullopt);
  EXPECT_EQ(view.bpm, 200);
  EXPECT_TRUE(view.presets.empty());
  EXPECT_TRUE(view.Called("CaptureLayout"));
  EXPECT_FALSE(store.SaveSettings(std::nullopt));
  view.nameText = "New";
  store.OnSavePreset();
  EXPECT_TRUE(view.Called(
      "ShowError Error Opening Registry Key | Threre was an error opening the registry key.  "
      "Please limit preset names to letters and numbers."));
  registry.reset();
  EXPECT_EQ(ReadFile(m_file), before);
}

TEST_F(SettingsFileTest, ACrashInTheMiddleOfASaveLeavesTheSaveBefore) {
  RecordingView view;
  view.bpm = 100;
  SaveMain(view);

  // A child process saves, and dies after its 20th value (in the middle of the voices) and,
  // for a new preset, after its 5th.
  EXPECT_EXIT(
      {
        std::ostringstream errors;
        auto registry = SqliteRegistry::Open(m_file, errors);
        test::FaultyRegistry dying(*registry);
        dying.exitAt = 20;
        RecordingView other;
        other.bpm = 150;
        other.instrument.fill(9);
        SettingsStore(dying, other).SaveSettings(std::nullopt);
        std::exit(0);
      },
      ::testing::ExitedWithCode(7), "");
  EXPECT_EXIT(
      {
        std::ostringstream errors;
        auto registry = SqliteRegistry::Open(m_file, errors);
        test::FaultyRegistry dying(*registry);
        dying.exitAt = 5;
        RecordingView other;
        other.nameText = "Half";
        SettingsStore(dying, other).OnSavePreset();
        std::exit(0);
      },
      ::testing::ExitedWithCode(7), "");

  RecordingView loaded = LoadMain();
  EXPECT_EQ(loaded.bpm, 100);
  EXPECT_EQ(loaded.instrument, (std::array<int, 9>{2, 1, 42, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(loaded.presets, std::vector<std::string>{});
}

TEST_F(SettingsFileTest, AnotherCopySeesASaveWholeOrNotAtAll) {
  auto writer = Open();
  SqliteRegistry::Options quick;
  quick.busyTimeoutMs = 50;
  std::ostringstream errors;
  auto reader = SqliteRegistry::Open(m_file, errors, quick);

  RegistryTransaction transaction(*writer);
  ASSERT_TRUE(transaction.Begun());
  OpenKey key(*writer);
  ASSERT_EQ(key.Create(Registry::kCurrentUser, PresetKeyPath("Pending"), RegAccess::kWrite),
            RegResult::kSuccess);
  ASSERT_EQ(WriteDword(*writer, key.Get(), "BPMinute", 99), RegResult::kSuccess);

  OpenKey seen(*reader);
  EXPECT_EQ(seen.Open(Registry::kCurrentUser, PresetKeyPath("Pending"), RegAccess::kRead),
            RegResult::kFileNotFound);
  EXPECT_EQ(transaction.Commit(), RegResult::kSuccess);
  ASSERT_EQ(seen.Open(Registry::kCurrentUser, PresetKeyPath("Pending"), RegAccess::kRead),
            RegResult::kSuccess);
  EXPECT_EQ(ReadDword(*reader, seen.Get(), "BPMinute", 0), 99);
}

TEST_F(SettingsFileTest, LoadingDoesNotWaitForAnotherCopysSave) {
  {
    RecordingView view;
    view.bpm = 123;
    SettingsStore(*Open(), view).SaveSettings(std::nullopt);
  }
  auto writer = Open();
  RegistryTransaction saving(*writer);
  ASSERT_TRUE(saving.Begun());
  OpenKey key(*writer);
  ASSERT_EQ(key.Create(Registry::kCurrentUser, PresetKeyPath("Pending"), RegAccess::kWrite),
            RegResult::kSuccess);

  // A copy starting now would wait its whole busy timeout (a minute here) for that save.
  SqliteRegistry::Options patient;
  patient.busyTimeoutMs = 60'000;
  std::ostringstream errors;
  auto reader = SqliteRegistry::Open(m_file, errors, patient);
  auto loaded = std::async(std::launch::async, [&] {
    RecordingView view;
    SettingsStore(*reader, view).LoadSettings(std::nullopt);
    return view;
  });
  const bool waited = loaded.wait_for(std::chrono::seconds(20)) != std::future_status::ready;
  saving.Commit();
  EXPECT_FALSE(waited);
  EXPECT_EQ(loaded.get().bpm, 123);
}

TEST_F(SettingsFileTest, TwoCopiesSavingPresetsAtOnceLoseNothing) {
  constexpr int kPerCopy = 25;
  auto first = Open();
  auto second = Open();
  auto saveMany = [](Registry* registry, std::string prefix, bool* allSaved) {
    RecordingView view;
    SettingsStore store(*registry, view);
    for (int i = 0; i < kPerCopy; ++i) {
      view.bpm = 100 + i;
      view.nameText = prefix + std::to_string(i);
      store.OnSavePreset();
      if (view.Called("ShowError Error Opening Registry Key | Threre was an error opening the "
                      "registry key.  Please limit preset names to letters and numbers.")) {
        *allSaved = false;
      }
    }
  };
  bool firstSaved = true;
  bool secondSaved = true;
  std::thread a(saveMany, first.get(), "A ", &firstSaved);
  std::thread b(saveMany, second.get(), "B ", &secondSaved);
  a.join();
  b.join();
  EXPECT_TRUE(firstSaved);
  EXPECT_TRUE(secondSaved);
  first.reset();
  second.reset();

  RecordingView loaded = LoadMain();
  ASSERT_EQ(loaded.presets.size(), 2u * kPerCopy);
  auto registry = Open();
  for (const char* prefix : {"A ", "B "}) {
    for (int i = 0; i < kPerCopy; ++i) {
      OpenKey key(*registry);
      ASSERT_EQ(key.Open(Registry::kCurrentUser, PresetKeyPath(prefix + std::to_string(i)),
                         RegAccess::kRead),
                RegResult::kSuccess);
      EXPECT_EQ(ReadDword(*registry, key.Get(), "BPMinute", 0), 100 + i);
      // Every save landed whole: its last value is there too.
      std::byte flag{0x55};
      EXPECT_EQ(registry->QueryValue(key.Get(), "Blinking", nullptr, std::span<std::byte>(&flag, 1),
                                     nullptr),
                RegResult::kSuccess);
    }
  }
}

// Runs `body` in a child process that cannot bypass file permissions (root gives itself up
// to nobody), and returns the child's exit code; the child reports failures on stderr.
int RunUnprivileged(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      std::fprintf(stderr, "cannot drop privileges\n");
      _exit(90);
    }
    int result = body();
    std::fflush(nullptr);
    _exit(result);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

#define CHILD_CHECK(condition)                                             \
  do {                                                                     \
    if (!(condition)) {                                                    \
      std::fprintf(stderr, "line %d: failed: %s\n", __LINE__, #condition); \
      return 1;                                                            \
    }                                                                      \
  } while (0)

class UnwritableFolderTest : public SettingsFileTest {
 protected:
  void SetUp() override {
    // The child (nobody) must be able to reach the folder.
    std::filesystem::permissions(m_folder.path(), std::filesystem::perms(0755));
  }
};

TEST_F(UnwritableFolderTest, SettingsStillLoadButSavesFailVisibly) {
  RecordingView view;
  view.bpm = 120;
  SaveMain(view);
  {
    auto registry = Open();
    SettingsStore store(*registry, view);
    view.nameText = "Fast";
    store.OnSavePreset();
  }
  // Two ways to be stuck: a read-only file, or a writable file in a read-only folder (no
  // room for the journal).
  for (auto fileMode : {0644, 0666}) {
    chmod(m_file.c_str(), static_cast<mode_t>(fileMode));
    chmod(m_file.parent_path().c_str(), 0555);
    int result = RunUnprivileged([&] {
      std::ostringstream errors;
      auto registry = SqliteRegistry::Open(m_file, errors);
      CHILD_CHECK(registry->IsOpen());
      CHILD_CHECK(Lines(errors.str()) == 1);
      RecordingView child;
      SettingsStore store(*registry, child);
      store.LoadSettings(std::nullopt);
      CHILD_CHECK(child.bpm == 120);
      CHILD_CHECK(child.presets == std::vector<std::string>{"Fast"});
      // Something to save: the file already holds the loaded values, and rewriting those
      // changes nothing.
      child.bpm = 121;
      CHILD_CHECK(!store.SaveSettings(std::nullopt));
      child.nameText = "New";
      store.OnSavePreset();
      CHILD_CHECK(child.Called(
          "ShowError Error Opening Registry Key | Threre was an error opening the registry "
          "key.  Please limit preset names to letters and numbers."));
      CHILD_CHECK(child.presets == std::vector<std::string>{"Fast"});
      // Overwriting an existing preset fails too, rather than pretending.
      child.calls.clear();
      child.nameText = "Fast";
      store.OnSavePreset();
      CHILD_CHECK(child.Called(
          "ShowError Error Opening Registry Key | Threre was an error opening the registry "
          "key.  Please limit preset names to letters and numbers."));
      // The preset cannot be deleted, so it stays listed.
      store.OnDeletePreset();
      CHILD_CHECK(child.presets == std::vector<std::string>{"Fast"});
      return 0;
    });
    EXPECT_EQ(result, 0) << "file mode " << std::oct << fileMode;
    chmod(m_file.parent_path().c_str(), 0755);
  }
  EXPECT_EQ(LoadMain().bpm, 120);
}

TEST_F(UnwritableFolderTest, NoFolderCanBeMadeSoTheDefaultsApplyAndNothingIsSaved) {
  chmod(m_folder.path().c_str(), 0555);
  int result = RunUnprivileged([&] {
    std::ostringstream errors;
    auto registry = SqliteRegistry::Open(m_file, errors);
    CHILD_CHECK(!registry->IsOpen());
    CHILD_CHECK(Lines(errors.str()) == 1);
    RecordingView child;
    child.bpm = 60;
    SettingsStore store(*registry, child);
    store.LoadSettings(std::nullopt);
    CHILD_CHECK(child.bpm == 200 && child.Called("CaptureLayout"));
    CHILD_CHECK(!store.SaveSettings(std::nullopt));
    return 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(std::filesystem::exists(m_file.parent_path()));
}

TEST_F(UnwritableFolderTest, AFileThatCannotBeReadIsKeptAsideLikeADamagedOne) {
  RecordingView view;
  view.bpm = 120;
  SaveMain(view);
  const std::string before = ReadFile(m_file);
  chmod(m_file.c_str(), 0);  // unreadable to the child
  chmod(m_file.parent_path().c_str(), 0777);
  int result = RunUnprivileged([&] {
    std::ostringstream errors;
    SqliteRegistry::Options options;
    options.now = [] { return std::time_t{86400}; };  // 1970-01-02 00:00:00 UTC
    auto registry = SqliteRegistry::Open(m_file, errors, options);
    CHILD_CHECK(registry->IsOpen());
    CHILD_CHECK(Lines(errors.str()) == 1);
    RecordingView child;
    SettingsStore store(*registry, child);
    store.LoadSettings(std::nullopt);
    CHILD_CHECK(child.bpm == 200);
    CHILD_CHECK(store.SaveSettings(std::nullopt));
    return 0;
  });
  EXPECT_EQ(result, 0);
  const std::filesystem::path kept = m_file.string() + ".damaged-19700102T000000Z";
  chmod(kept.c_str(), 0600);
  EXPECT_EQ(ReadFile(kept), before);
}

TEST(SettingsFilePath, FollowsXdgConfigHomeElseHomeConfig) {
  auto saved = [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  const std::optional<std::string> xdg = saved("XDG_CONFIG_HOME");
  const std::optional<std::string> home = saved("HOME");

  setenv("HOME", "/home/someone", 1);
  setenv("XDG_CONFIG_HOME", "/srv/config", 1);
  EXPECT_EQ(SettingsFilePath(), "/srv/config/ticktavo/settings.db");
  setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: ignored
  EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/ticktavo/settings.db");
  setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/ticktavo/settings.db");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/ticktavo/settings.db");

  if (xdg) setenv("XDG_CONFIG_HOME", xdg->c_str(), 1);
  if (home) setenv("HOME", home->c_str(), 1);
}

}  // namespace
}  // namespace ticktavo
