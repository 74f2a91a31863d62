// Where the word file goes, and which copy of a program deletes it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"
#include "words/dictionary_place.h"
#include "words/tdictn.h"

namespace zp::app::testing {
namespace {

namespace fs = std::filesystem;

using TempFolder = zp::testing::TempDir;

// Sets an environment variable for one test and restores it afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    set(value);
  }
  ~ScopedVariable() { set(old_); }

 private:
  void set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_, value->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

std::string record(const std::string& word) {
  return "\x1e" + word + std::string(14 - word.size(), ' ');
}

ino_t inodeOf(const fs::path& file) {
  struct stat st = {};
  return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A folder is made unusable, even for root, by giving it a regular file as its parent.
enum class Folder { Usable, Unusable, Unset, Relative };

struct PlaceCase {
  const char* name;
  Folder working, runtime, cache, home;
  const char* chosen;              // the folder expected to take the file, or nullptr
  std::vector<std::string> named;  // in the note, with the system's reason
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
  *os << c.name;
}

class PlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceTest, TakesTheFirstFolderThatCanHoldTheFile) {
  const PlaceCase& c = GetParam();
  TempFolder tmp;
  std::ofstream(tmp.path() / "plain-file") << "not a folder";
  const auto folder = [&](Folder kind, const char* name) -> std::optional<std::string> {
    switch (kind) {
      case Folder::Usable:
        return (tmp.path() / name).string();
      case Folder::Unusable:
        return (tmp.path() / "plain-file" / name).string();
      case Folder::Unset:
        return std::nullopt;
      case Folder::Relative:
        return std::string("zp-relative-") + name;
    }
    return std::nullopt;
  };
  fs::create_directory(tmp.path() / "work");
  ScopedVariable runtime("XDG_RUNTIME_DIR", folder(c.runtime, "run"));
  ScopedVariable cache("XDG_CACHE_HOME", folder(c.cache, "cache"));
  ScopedVariable home("HOME", folder(c.home, "home"));
  const fs::path working = *folder(c.working, "work");

  const words::DictionaryPlace place = words::placeDictionaryFile(working);

  if (c.chosen == nullptr) {
    EXPECT_TRUE(place.file.empty()) << place.file;
  } else {
    const fs::path chosen = std::string(c.chosen) == "work"
                                ? working / "English"
                                : tmp.path() / c.chosen / "zandupelix" / "English";
    EXPECT_EQ(place.file, chosen);
    EXPECT_EQ(place.note.empty(), std::string(c.chosen) == "work") << place.note;
    if (std::string(c.chosen) != "work") {
      EXPECT_NE(place.note.find("using " + chosen.string()), std::string::npos) << place.note;
      EXPECT_EQ(fs::status(chosen.parent_path()).permissions() & fs::perms::all,
                fs::perms::owner_all);
    }
    EXPECT_FALSE(fs::exists(chosen)) << "choosing writes nothing";
    EXPECT_EQ(std::distance(fs::directory_iterator(chosen.parent_path()), {}), 0)
        << "the trial file is gone";
  }
  for (const std::string& name : c.named) {
    const std::string expected = (tmp.path() / "plain-file" / name).string() + ": Not a directory";
    EXPECT_NE(place.note.find(expected), std::string::npos) << place.note;
  }
  EXPECT_EQ(place.note.find('\n'), std::string::npos);
  EXPECT_FALSE(fs::exists("zp-relative-run")) << "a relative runtime folder is ignored";
}

INSTANTIATE_TEST_SUITE_P(Folders, PlaceTest,
                         ::testing::Values(PlaceCase{"WorkingFolder",
                                                     Folder::Usable,
                                                     Folder::Usable,
                                                     Folder::Usable,
                                                     Folder::Usable,
                                                     "work",
                                                     {}},
                                           PlaceCase{"RuntimeFolder",
                                                     Folder::Unusable,
                                                     Folder::Usable,
                                                     Folder::Usable,
                                                     Folder::Usable,
                                                     "run",
                                                     {"work/English"}},
                                           PlaceCase{"CacheFolder",
                                                     Folder::Unusable,
                                                     Folder::Unusable,
                                                     Folder::Usable,
                                                     Folder::Usable,
                                                     "cache",
                                                     {"work/English", "run/zandupelix"}},
                                           PlaceCase{"CacheInHome",
                                                     Folder::Unusable,
                                                     Folder::Unset,
                                                     Folder::Unset,
                                                     Folder::Usable,
                                                     "home/.cache",
                                                     {"work/English"}},
                                           PlaceCase{"RelativeRuntimeIgnored",
                                                     Folder::Unusable,
                                                     Folder::Relative,
                                                     Folder::Usable,
                                                     Folder::Usable,
                                                     "cache",
                                                     {"work/English"}},
                                           PlaceCase{"NoFolder",
                                                     Folder::Unusable,
                                                     Folder::Unusable,
                                                     Folder::Unset,
                                                     Folder::Unusable,
                                                     nullptr,
                                                     {"work/English", "run/zandupelix",
                                                      "home/.cache/zandupelix"}}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(WordFile, AnExistingFileIsTakenEvenWhereNoNewOneCouldBeWritten) {
  TempFolder tmp;
  std::ofstream(tmp.path() / "English") << "";
  // A folder without write permission still offers its existing file (root ignores the
  // permission; for others it is what this case is about).
  fs::permissions(tmp.path(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(words::placeDictionaryFile(tmp.path()).file, tmp.path() / "English");
  fs::permissions(tmp.path(), fs::perms::owner_all);

  fs::remove(tmp.path() / "English");
  fs::create_directory(tmp.path() / "English");
  ScopedVariable runtime("XDG_RUNTIME_DIR", tmp.path().string());
  const words::DictionaryPlace place = words::placeDictionaryFile(tmp.path());
  EXPECT_EQ(place.file, tmp.path() / "zandupelix" / "English");
  EXPECT_NE(place.note.find((tmp.path() / "English").string() + ": Is a directory"),
            std::string::npos)
      << place.note;
}

// Every copy of a program in one folder shares the file; only the last one out deletes it,
// whoever wrote it, and a later writer never replaces it.
TEST(WordFile, OnlyTheLastCopyHoldingTheFileDeletesIt) {
  TempFolder tmp;
  const fs::path file = tmp.path() / "English";
  const std::string list = record("CAT");
  std::optional<words::TDictn> first(std::in_place, file, list);
  ASSERT_TRUE(first->isOpen()) << first->failure();
  const ino_t written = inodeOf(file);
  {
    words::TDictn second(file, record("DOG"));
    EXPECT_TRUE(second.isOpen());
    EXPECT_TRUE(second.checkword("CAT")) << "the first copy's list is used";
  }
  EXPECT_EQ(inodeOf(file), written) << "the second copy's end leaves the first one's file";
  {
    words::TDictn third(file, list);
    first.reset();
    EXPECT_TRUE(fs::exists(file)) << "still held by the third copy";
  }
  EXPECT_FALSE(fs::exists(file));
}

TEST(WordFile, AFailureNamesTheFileAndTheReason) {
  TempFolder tmp;
  const fs::path file = tmp.path() / "missing-folder" / "English";
  const words::TDictn dictionary(file, record("CAT"));
  EXPECT_FALSE(dictionary.isOpen());
  EXPECT_EQ(dictionary.failure(), "cannot write " + file.string() + ": No such file or directory");
}

}  // namespace
}  // namespace zp::app::testing
