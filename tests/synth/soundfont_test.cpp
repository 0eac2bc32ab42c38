#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/synth/soundfont_path.h"

namespace ticktavo {
namespace {

// Sets TICKTAVO_SOUNDFONT for one test and restores what was there before.
class ScopedSoundfontVariable {
 public:
  explicit ScopedSoundfontVariable(const char* value) {
    if (const char* old = getenv("TICKTAVO_SOUNDFONT")) m_old = old, m_hadOld = true;
    if (value)
      setenv("TICKTAVO_SOUNDFONT", value, 1);
    else
      unsetenv("TICKTAVO_SOUNDFONT");
  }
  ~ScopedSoundfontVariable() {
    if (m_hadOld)
      setenv("TICKTAVO_SOUNDFONT", m_old.c_str(), 1);
    else
      unsetenv("TICKTAVO_SOUNDFONT");
  }

 private:
  std::string m_old;
  bool m_hadOld = false;
};

// A temporary readable file standing in for a soundfont (only its presence is looked at).
class TempFile {
 public:
  TempFile() {
    char name[] = "/tmp/ticktavo-sf-XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    if (fd >= 0) close(fd);
    m_path = name;
  }
  ~TempFile() { std::remove(m_path.c_str()); }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

TEST(FindSoundfont, ArgumentComesFirst) {
  TempFile argument;
  TempFile variable;
  ScopedSoundfontVariable env(variable.Path().c_str());
  EXPECT_EQ(FindSoundfont(argument.Path()), argument.Path());
}

TEST(FindSoundfont, EnvironmentVariableWhenNoArgument) {
  TempFile variable;
  ScopedSoundfontVariable env(variable.Path().c_str());
  EXPECT_EQ(FindSoundfont(""), variable.Path());
}

TEST(FindSoundfont, SystemDefaultWhenVariableUnsetOrEmpty) {
  // The system soundfont is installed with the project's dependencies.
  ASSERT_EQ(access(kSystemSoundfont, R_OK), 0) << "install timgm6mb-soundfont";
  {
    ScopedSoundfontVariable env(nullptr);
    EXPECT_EQ(FindSoundfont(""), kSystemSoundfont);
  }
  ScopedSoundfontVariable env("");
  EXPECT_EQ(FindSoundfont(""), kSystemSoundfont);
}

TEST(FindSoundfont, MissingOrUnusableFileGivesNothing) {
  ScopedSoundfontVariable env(nullptr);
  EXPECT_EQ(FindSoundfont("/nonexistent/ticktavo.sf2"), "");
  EXPECT_EQ(FindSoundfont("/tmp"), "");  // a directory is no soundfont
  // A variable naming a missing file does not fall back to the system soundfont: the user asked
  // for that file, and silently playing another would hide the mistake.
  ScopedSoundfontVariable missing("/nonexistent/ticktavo.sf2");
  EXPECT_EQ(FindSoundfont(""), "");
}

}  // namespace
}  // namespace ticktavo
