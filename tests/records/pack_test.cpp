// Runs the built zandupelix-pack program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "test_util.h"
#include "tests/support/temp_dir.h"

#ifdef ZP_PACK_BINARY
namespace zp::records {
namespace {

struct PackRun {
  int status;
  std::string out;
};

PackRun Pack(const std::string& args) {
  const std::string command = std::string(ZP_PACK_BINARY) + " " + args + " 2>&1";
  PackRun run{-1, {}};
  std::FILE* p = ::popen(command.c_str(), "r");
  if (!p) return run;
  std::array<char, 512> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), p)) run.out += chunk.data();
  const int status = ::pclose(p);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(PackTool, CompressesDecompressesAndAdvises) {
  zp::testing::TempDir dir;
  const auto data = test::Text(120000);
  test::WriteFile(dir / "in.txt", data);
  for (const char* mode : {"--fast", "--good", "--auto"}) {
    const PackRun c = Pack(std::string("compress ") + mode + " " + (dir / "in.txt").string() + " " +
                           (dir / "p").string());
    EXPECT_EQ(c.status, 0) << c.out;
    EXPECT_NE(c.out.find(" : Lzrw1 : successfully compressed at "), std::string::npos) << c.out;
    const PackRun d = Pack("decompress " + (dir / "p").string() + " " + (dir / "out.txt").string());
    EXPECT_EQ(d.status, 0) << d.out;
    EXPECT_NE(d.out.find(" : Lzrw1 : successfully decompressed at "), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir / "out.txt"), data);
  }
  const PackRun a = Pack("advise " + (dir / "in.txt").string());
  EXPECT_EQ(a.status, 0);
  EXPECT_NE(a.out.find("Lzrw1 recommends "), std::string::npos) << a.out;
}

TEST(PackTool, FailuresPrintTheTextAndExitNonZero) {
  zp::testing::TempDir dir;
  test::WriteFile(dir / "junk", test::Bytes{'j', 'u', 'n', 'k', 0});
  const PackRun r = Pack("decompress " + (dir / "junk").string() + " " + (dir / "out").string());
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.out,
            (dir / "junk").string() + " : Lzrw1 decompression : this file has no valid header !\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
  EXPECT_EQ(Pack("compress --best a b").status, 2);
  EXPECT_EQ(Pack("").status, 2);
}

}  // namespace
}  // namespace zp::records
#endif
