#include "client/profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "tests/support/temp_dir.h"

namespace zp::client {
namespace {

namespace fs = std::filesystem;

using zp::testing::Put;
using zp::testing::Slurp;
using zp::testing::TempDir;

constexpr char kSection[] = "ZanduPelix";

TEST(Profile, AnotherProgramsFileComesBackByteForByteApartFromOurKeys) {
  const std::string before =
      "; lobby settings\r\n"
      "Textsize=1\r\n"
      "\r\n"
      "[Lobby]\r\n"
      "Path=C:\\Games\\lobby\\\r\n"
      "Servers=alpha,beta, gamma\n"
      "# Tiles=not a comment\r\n"
      ";Textsize=99\r\n"
      "\r\n"
      "[zandupelix]\r\n"
      "  textsize = 10 \r\n"
      "Phrase1=\"Hi, all\"\r\n"
      "; keep me\r\n"
      "\r\n"
      "[Other]\r\n"
      "Textsize=12";
  const std::string after =
      "; lobby settings\r\n"
      "Textsize=1\r\n"
      "\r\n"
      "[Lobby]\r\n"
      "Path=C:\\Games\\lobby\\\r\n"
      "Servers=alpha,beta, gamma\n"
      "# Tiles=not a comment\r\n"
      ";Textsize=99\r\n"
      "\r\n"
      "[zandupelix]\r\n"
      "textsize=14\r\n"
      "Phrase1=Bye\r\n"
      "Tiles=wood\r\n"
      "; keep me\r\n"
      "\r\n"
      "[Other]\r\n"
      "Textsize=12";
  TempDir dir;
  const ProfileFile file(dir / "shared.ini");
  Put(file.Path(), before);
  EXPECT_EQ(file.ReadString(kSection, "Textsize", "8"), "10");
  EXPECT_EQ(file.ReadString(kSection, "Phrase1", ""), "Hi, all");
  EXPECT_EQ(file.ReadString("Lobby", "Path", ""), "C:\\Games\\lobby\\");
  EXPECT_EQ(file.ReadString("Lobby", "Servers", ""), "alpha,beta, gamma");
  EXPECT_EQ(file.ReadString("Lobby", "# Tiles", ""), "not a comment");

  EXPECT_EQ(
      file.WriteStrings(kSection, {{"Textsize", "14"}, {"Tiles", "wood"}, {"Phrase1", "Bye"}}),
      std::nullopt);
  EXPECT_EQ(Slurp(file.Path()), after);
  EXPECT_EQ(dir.FileCount(), 1);  // nothing left beside it
}

struct ReadCase {
  const char* name;
  std::string text;
  std::string key;
  std::string expected;
};

TEST(Profile, ReadingRules) {
  const std::string x2047(2047, 'x');
  const ReadCase cases[] = {
      {"names ignore case", "[zANDUpelix]\r\nTEXTSIZE=10\r\n", "textsize", "10"},
      {"blanks around names", "  [ ZanduPelix ] junk\r\n \t Textsize \t= 10\r\n", "Textsize", "10"},
      {"blanks around the value", "[ZanduPelix]\r\nA=\t 1 2 \t\r\n", "A", "1 2"},
      {"double quotes", "[ZanduPelix]\r\nTextcolor = \"clNavy\" \r\n", "Textcolor", "clNavy"},
      {"single quotes", "[ZanduPelix]\r\nA=' x '\r\n", "A", " x "},
      {"one pair of quotes only", "[ZanduPelix]\r\nA=\"\"x\"\"\r\n", "A", "\"x\""},
      {"mismatched quotes stay", "[ZanduPelix]\r\nA=\"x'\r\n", "A", "\"x'"},
      {"a lone quote stays", "[ZanduPelix]\r\nA=\"\r\n", "A", "\""},
      {"the first = splits", "[ZanduPelix]\r\nA=b=c\r\n", "A", "b=c"},
      {"no comment at the end", "[ZanduPelix]\r\nLeft=40 ; moved\r\n", "Left", "40 ; moved"},
      {"# is text", "[ZanduPelix]\r\n#A=1\r\n", "#A", "1"},
      {"comment lines", "[ZanduPelix]\r\n;A=1\r\n  ; A=2\r\nA=3\r\n", "A", "3"},
      {"a line without = is no key", "[ZanduPelix]\r\nA\r\nA 1\r\n", "A", "<default>"},
      {"an empty value is not the default", "[ZanduPelix]\r\nA=\r\n", "A", ""},
      {"missing key", "[ZanduPelix]\r\nB=1\r\n", "A", "<default>"},
      {"missing section", "[Other]\r\nA=1\r\n", "A", "<default>"},
      {"the first key wins", "[ZanduPelix]\r\nA=1\r\na=2\r\n", "A", "1"},
      {"the first section wins", "[ZanduPelix]\r\nB=1\r\n[ZANDUPELIX]\r\nA=2\r\n", "A",
       "<default>"},
      {"the section ends at the next header", "[ZanduPelix]\r\n[Other]\r\nA=1\r\n", "A",
       "<default>"},
      {"lines before the first header", "A=1\r\n[ZanduPelix]\r\n", "A", "<default>"},
      {"[ without ] starts a section", "[ZanduPelix]\r\n[Other\r\nA=1\r\n", "A", "<default>"},
      {"CR line ends", "[ZanduPelix]\rB=1\rA=2\r", "A", "2"},
      {"LF line ends", "[ZanduPelix]\nB=1\nA=2\n", "A", "2"},
      {"mixed line ends", "[ZanduPelix]\r\rB=1\n\r\nA=2\r\n", "A", "2"},
      {"no line end at the end", "[ZanduPelix]\r\nA=2", "A", "2"},
      {"a byte-order mark hides the first header", "\xEF\xBB\xBF[ZanduPelix]\r\nA=1\r\n", "A",
       "<default>"},
      {"long values are cut", "[ZanduPelix]\r\nA=" + x2047 + "yyy\r\n", "A", x2047},
      {"quotes go before the cut", "[ZanduPelix]\r\nA=\"" + x2047 + "\"\r\n", "A", x2047},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileText(c.text).ReadString(kSection, c.key, "<default>"), c.expected) << c.name;
  }
}

struct WriteCase {
  const char* name;
  std::string before;
  std::string value;
  std::string after;
};

TEST(Profile, WritingOneKey) {
  const WriteCase cases[] = {
      {"in place, own spelling, CR LF", "[ZanduPelix]\n  TILES = x \nTop=3\n", "wood",
       "[ZanduPelix]\nTILES=wood\r\nTop=3\n"},
      {"after the last key line, before comments",
       "[ZanduPelix]\r\nA=1\r\n; note\r\n\r\n[O]\r\nB=2\r\n", "wood",
       "[ZanduPelix]\r\nA=1\r\nTiles=wood\r\n; note\r\n\r\n[O]\r\nB=2\r\n"},
      {"a section without keys", "[ZanduPelix]\r\n;Tiles=x\r\n", "wood",
       "[ZanduPelix]\r\nTiles=wood\r\n;Tiles=x\r\n"},
      {"only into the first section", "[ZanduPelix]\r\nA=1\r\n[zandupelix]\r\nTiles=x\r\n", "wood",
       "[ZanduPelix]\r\nA=1\r\nTiles=wood\r\n[zandupelix]\r\nTiles=x\r\n"},
      {"after a last key line without end", "[ZanduPelix]\r\nA=1", "wood",
       "[ZanduPelix]\r\nA=1\r\nTiles=wood\r\n"},
      {"after a header without end", "[ZanduPelix]", "wood", "[ZanduPelix]\r\nTiles=wood\r\n"},
      {"an existing last line without end", "[ZanduPelix]\r\nTiles=x", "wood",
       "[ZanduPelix]\r\nTiles=wood\r\n"},
      {"a new section at the end", "[O]\r\nB=2\r\n", "wood",
       "[O]\r\nB=2\r\n[ZanduPelix]\r\nTiles=wood\r\n"},
      {"a new section after a line without end", "[O]\nB=2", "wood",
       "[O]\nB=2\r\n[ZanduPelix]\r\nTiles=wood\r\n"},
      {"a new section after CR", "[O]\rB=2\r", "wood", "[O]\rB=2\r[ZanduPelix]\r\nTiles=wood\r\n"},
      {"an empty file", "", "wood", "[ZanduPelix]\r\nTiles=wood\r\n"},
      {"line breaks are stripped", "", "a\r\n[Evil]\rb\n", "[ZanduPelix]\r\nTiles=a[Evil]b\r\n"},
      {"an empty value", "", "", "[ZanduPelix]\r\nTiles=\r\n"},
      {"outer blanks are kept by quotes", "", " wood ", "[ZanduPelix]\r\nTiles=\" wood \"\r\n"},
      {"outer quotes are kept by quotes", "", "'wood'", "[ZanduPelix]\r\nTiles=\"'wood'\"\r\n"},
      {"inner quotes need none", "", "\"a\" b", "[ZanduPelix]\r\nTiles=\"a\" b\r\n"},
  };
  for (const auto& c : cases) {
    ProfileText profile(c.before);
    EXPECT_EQ(profile.WriteString(kSection, "Tiles", c.value), std::nullopt) << c.name;
    EXPECT_EQ(profile.Text(), c.after) << c.name;
    std::string stripped = c.value;
    std::erase_if(stripped, [](char ch) { return ch == '\r' || ch == '\n'; });
    EXPECT_EQ(profile.ReadString(kSection, "Tiles", "<default>"), stripped) << c.name;
  }
}

TEST(Profile, NamesTheFileCannotHoldAreRefused) {
  const std::pair<std::string, std::string> names[] = {
      {"", "Key"},       {"Sec]tion", "Key"}, {kSection, ""},      {kSection, " \r\n"},
      {kSection, "A=B"}, {kSection, ";Key"},  {kSection, "[Key]"},
  };
  for (const auto& [section, key] : names) {
    ProfileText profile("[ZanduPelix]\r\n");
    EXPECT_NE(profile.WriteString(section, key, "x"), std::nullopt) << section << "/" << key;
    EXPECT_EQ(profile.Text(), "[ZanduPelix]\r\n");
  }
  // Blanks and line breaks around a name are not part of it.
  ProfileText profile("[ZanduPelix]\r\nTop=1\r\n");
  EXPECT_EQ(profile.WriteString(" ZanduPelix\r\n", "\tTop ", "2"), std::nullopt);
  EXPECT_EQ(profile.Text(), "[ZanduPelix]\r\nTop=2\r\n");
}

TEST(Profile, MissingOrUnreadableFilesReadAsEmpty) {
  TempDir dir;
  Put(dir / "plain", "x");
  fs::create_directory(dir / "folder");
  for (const auto& path : {dir / "missing.ini", dir / "plain" / "x.ini", dir / "folder"}) {
    EXPECT_EQ(ProfileFile(path).ReadString(kSection, "Textsize", "8"), "8") << path;
  }
}

TEST(Profile, AFailedWriteReportsAndLosesNothing) {
  TempDir dir;
  Put(dir / "plain", "not a folder");
  const ProfileFile under_a_file(dir / "plain" / "sub" / "x.ini");
  EXPECT_NE(under_a_file.WriteString(kSection, "Top", "1"), std::nullopt);
  EXPECT_EQ(Slurp(dir / "plain"), "not a folder");

  fs::create_directory(dir / "folder");
  EXPECT_NE(ProfileFile(dir / "folder").WriteString(kSection, "Top", "1"), std::nullopt);
  EXPECT_TRUE(fs::is_directory(dir / "folder"));

  // A disk that fills up halfway through the new file.
  const std::string before = "[ZanduPelix]\r\nTop=1\r\n";
  const ProfileFile file(dir / "qelmlobby.ini");
  Put(file.Path(), before);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const auto error = file.WriteString(kSection, "Phrase1", std::string(100, 'p'));
    ::_exit(error ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have failed";
  EXPECT_EQ(Slurp(file.Path()), before);
  EXPECT_EQ(dir.FileCount(), 3);  // plain, folder and the file: no half-written one beside it
}

TEST(Profile, AHugeBinaryFileIsReadInPartAndNeverWritten) {
  TempDir dir;
  std::mt19937 rng(5);
  std::string text = "[ZanduPelix]\r\nTextsize=9\r\n";
  while (text.size() < 2 * ProfileFile::kMaxBytes) text += static_cast<char>(rng());
  text += "\r\n[ZanduPelix]\r\nTop=7\r\n";
  const ProfileFile file(dir / "qelmlobby.ini");
  Put(file.Path(), text);
  const ProfileText read = file.Read();
  EXPECT_EQ(read.Text().size(), ProfileFile::kMaxBytes);
  EXPECT_EQ(read.ReadString(kSection, "Textsize", "8"), "9");
  EXPECT_NE(file.WriteString(kSection, "Textsize", "10"), std::nullopt);
  EXPECT_EQ(Slurp(file.Path()), text);
}

TEST(Profile, ReplacingKeepsPermissionsAndLinks) {
  TempDir dir;
  const ProfileFile fresh(dir / "new.ini");
  ASSERT_EQ(fresh.WriteString(kSection, "Top", "1"), std::nullopt);
  EXPECT_EQ(fs::status(fresh.Path()).permissions(), fs::perms(0644));

  Put(dir / "real.ini", "[ZanduPelix]\r\nTop=1\r\n");
  fs::permissions(dir / "real.ini", fs::perms(0600));
  fs::create_symlink("real.ini", dir / "link.ini");
  ASSERT_EQ(ProfileFile(dir / "link.ini").WriteString(kSection, "Top", "2"), std::nullopt);
  EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
  EXPECT_EQ(Slurp(dir / "real.ini"), "[ZanduPelix]\r\nTop=2\r\n");
  EXPECT_EQ(fs::status(dir / "real.ini").permissions(), fs::perms(0600));
}

// Reads Top and writes Top=5 in a child process, so a read or write that waits on what is at
// the path fails the test instead of hanging it. "" when the child did not finish.
std::string ReadThenWrite(const fs::path& path) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child < 0) return "no fork";
  if (child == 0) {
    ::close(pipe_fds[0]);
    ::alarm(5);
    const ProfileFile file(path);
    std::string out = file.ReadString(kSection, "Top", "3");
    out += file.WriteString(kSection, "Top", "5") ? "|refused" : "|written";
    [[maybe_unused]] const ssize_t n = ::write(pipe_fds[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string got;
  char buffer[256];
  for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) got.append(buffer, n);
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? got : "";
}

TEST(Profile, WhatAnotherProgramLeftAtThePathIsRespected) {
  const std::string ours = "[ZanduPelix]\r\nTop=1\r\n";
  struct Case {
    const char* name;
    // Makes what is at the path (the returned file) inside the folder.
    std::function<fs::path(const fs::path&)> make;
    const char* outcome;  // the value read, then whether Top=5 was written
    // What must be true afterwards.
    std::function<void(const fs::path&)> check;
  };
  const std::vector<Case> cases = {
      {"a header without its ]",
       [&](const fs::path& d) {
         Put(d / "q.ini", ours + "[Other\r\nLeft=9\r\nTop=7\r\n");
         return d / "q.ini";
       },
       "1|written",
       [&](const fs::path& d) {
         EXPECT_EQ(Slurp(d / "q.ini"), "[ZanduPelix]\r\nTop=5\r\n[Other\r\nLeft=9\r\nTop=7\r\n");
         EXPECT_EQ(ProfileFile(d / "q.ini").ReadString(kSection, "Left", "3"), "3");
       }},
      {"a new key goes before a header without its ]",
       [&](const fs::path& d) {
         Put(d / "q.ini", "[ZanduPelix]\r\nLeft=1\r\n[Other\r\nTop=7\r\n");
         return d / "q.ini";
       },
       "3|written",
       [&](const fs::path& d) {
         EXPECT_EQ(Slurp(d / "q.ini"), "[ZanduPelix]\r\nLeft=1\r\nTop=5\r\n[Other\r\nTop=7\r\n");
       }},
      {"a named pipe",
       [&](const fs::path& d) {
         ::mkfifo((d / "q.ini").c_str(), 0644);
         return d / "q.ini";
       },
       "3|refused",
       [&](const fs::path& d) { EXPECT_TRUE(fs::is_fifo(fs::symlink_status(d / "q.ini"))); }},
      {"a link to a named pipe",
       [&](const fs::path& d) {
         ::mkfifo((d / "pipe").c_str(), 0644);
         fs::create_symlink("pipe", d / "q.ini");
         return d / "q.ini";
       },
       "3|refused",
       [&](const fs::path& d) {
         EXPECT_TRUE(fs::is_symlink(d / "q.ini"));
         EXPECT_TRUE(fs::is_fifo(d / "pipe"));
       }},
      {"a folder",
       [&](const fs::path& d) {
         fs::create_directory(d / "q.ini");
         return d / "q.ini";
       },
       "3|refused", [&](const fs::path& d) { EXPECT_TRUE(fs::is_directory(d / "q.ini")); }},
      {"a link to a file in another folder",
       [&](const fs::path& d) {
         fs::create_directory(d / "real");
         Put(d / "real" / "q.ini", ours);
         fs::create_symlink("real/q.ini", d / "q.ini");
         return d / "q.ini";
       },
       "1|written",
       [&](const fs::path& d) {
         EXPECT_TRUE(fs::is_symlink(d / "q.ini"));
         EXPECT_EQ(Slurp(d / "real" / "q.ini"), "[ZanduPelix]\r\nTop=5\r\n");
         EXPECT_EQ(std::distance(fs::directory_iterator(d / "real"), {}), 1) << "no temp left";
       }},
      {"a link whose file is missing in a folder that exists",
       [&](const fs::path& d) {
         fs::create_directory(d / "real");
         fs::create_symlink("real/q.ini", d / "q.ini");
         return d / "q.ini";
       },
       "3|written",
       [&](const fs::path& d) {
         EXPECT_TRUE(fs::is_symlink(d / "q.ini"));
         EXPECT_EQ(Slurp(d / "real" / "q.ini"), "[ZanduPelix]\r\nTop=5\r\n");
       }},
      {"a link into a folder that is gone",
       [&](const fs::path& d) {
         fs::create_symlink("gone/q.ini", d / "q.ini");
         return d / "q.ini";
       },
       "3|refused",
       [&](const fs::path& d) {
         EXPECT_EQ(fs::read_symlink(d / "q.ini"), "gone/q.ini");
         EXPECT_FALSE(fs::exists(d / "gone"));
       }},
      {"a file its owner made read-only",
       [&](const fs::path& d) {
         Put(d / "q.ini", ours);
         fs::permissions(d / "q.ini", fs::perms(0444));
         return d / "q.ini";
       },
       "1|refused",
       [&](const fs::path& d) {
         EXPECT_EQ(Slurp(d / "q.ini"), ours);
         EXPECT_EQ(fs::status(d / "q.ini").permissions(), fs::perms(0444));
       }},
      {"a link to a read-only file",
       [&](const fs::path& d) {
         Put(d / "real.ini", ours);
         fs::permissions(d / "real.ini", fs::perms(0400));
         fs::create_symlink("real.ini", d / "q.ini");
         return d / "q.ini";
       },
       "1|refused", [&](const fs::path& d) { EXPECT_EQ(Slurp(d / "real.ini"), ours); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path path = c.make(dir.path());
    EXPECT_EQ(ReadThenWrite(path), c.outcome);
    c.check(dir.path());
  }
}

TEST(Profile, AFileOfExactlyTheSizeLimitIsWrittenAndOneByteMoreIsNot) {
  for (const std::size_t size : {ProfileFile::kMaxBytes, ProfileFile::kMaxBytes + 1}) {
    SCOPED_TRACE(size);
    TempDir dir;
    const std::string head = "[ZanduPelix]\r\nTop=1\r\n;";
    const std::string text = head + std::string(size - head.size() - 2, 'x') + "\r\n";
    ASSERT_EQ(text.size(), size);
    const ProfileFile file(dir / "qelmlobby.ini");
    Put(file.Path(), text);
    const bool written = !file.WriteString(kSection, "Top", "2");
    EXPECT_EQ(written, size == ProfileFile::kMaxBytes);
    std::string expected = text;
    if (written) expected.replace(expected.find("Top=1"), 5, "Top=2");
    EXPECT_EQ(Slurp(file.Path()), expected);
  }
}

}  // namespace
}  // namespace zp::client
