#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

#include "classic_lzhuf.h"
#include "records/lzrw1.h"
#include "test_util.h"
#include "tests/support/temp_dir.h"

namespace zp::records {
namespace {

using test::Bytes;
using test::ReadFile;
using test::WriteFile;
using zp::testing::TempDir;

Bytes CompressFile(TempDir& dir, const Bytes& data, TCompressMode mode) {
  WriteFile(dir / "in", data);
  Tlzrw1 doit;
  doit.CompressMode = mode;
  doit.InputFile = dir / "in";
  doit.OutputFile = dir / "packed";
  const auto written = doit.Compress();
  Bytes packed = ReadFile(dir / "packed");
  EXPECT_EQ(written, static_cast<std::int64_t>(packed.size()));
  return packed;
}

Bytes DecompressFile(TempDir& dir, const Bytes& packed) {
  WriteFile(dir / "packed", packed);
  Tlzrw1 doit;
  doit.InputFile = dir / "packed";
  doit.OutputFile = dir / "out";
  const auto restored = doit.Decompress();
  Bytes out = ReadFile(dir / "out");
  EXPECT_EQ(restored, static_cast<std::int64_t>(out.size()));
  return out;
}

Bytes Header(const char* signature, std::uint32_t size) {
  Bytes h(signature, signature + 4);
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
  return h;
}

TEST(Container, EmptyFastFileIsElevenBytes) {
  TempDir dir;
  const Bytes packed = CompressFile(dir, {}, TCompressMode::Fast);
  Bytes expected = Header("WRZL", 0);
  expected.insert(expected.end(), {0x01, 0x00, 0x80});
  EXPECT_EQ(packed, expected);
  EXPECT_TRUE(DecompressFile(dir, packed).empty());
}

TEST(Container, EmptyGoodFileIsTheHeaderAlone) {
  TempDir dir;
  const Bytes packed = CompressFile(dir, {}, TCompressMode::Good);
  EXPECT_EQ(packed, Header("!HZL", 0));
  EXPECT_TRUE(DecompressFile(dir, packed).empty());
}

TEST(Container, SmallFastFileHasTheBytesWorkedOutByHand) {
  TempDir dir;
  const std::string text = "abcabcabcabc";
  Bytes expected = Header("WRZL", 12);
  expected.insert(expected.end(), {0x08, 0x00, 0x40, 0x10, 0x00, 'a', 'b', 'c', 0x00, 0x36});
  EXPECT_EQ(CompressFile(dir, Bytes(text.begin(), text.end()), TCompressMode::Fast), expected);
}

TEST(Container, FullBlocksEndWithAnEmptyBlock) {
  TempDir dir;
  const Bytes packed = CompressFile(dir, test::RandomBytes(32768), TCompressMode::Fast);
  ASSERT_EQ(packed.size(), 8u + 2 + 32769 + 2 + 1);
  EXPECT_EQ(packed[8], 0x01);  // 32,769 little-endian: a stored block
  EXPECT_EQ(packed[9], 0x80);
  EXPECT_EQ(packed[10], 0x80);
  EXPECT_EQ(Bytes(packed.end() - 3, packed.end()), (Bytes{0x01, 0x00, 0x80}));
}

TEST(Container, RoundTripsInBothModesAtBlockEdges) {
  TempDir dir;
  for (const std::size_t n : {0u, 1u, 32767u, 32768u, 32769u, 65536u, 100000u}) {
    for (const Bytes& data : {test::Text(n), test::RandomBytes(n), test::Repetitive(n)}) {
      for (const auto mode : {TCompressMode::Fast, TCompressMode::Good}) {
        ASSERT_EQ(DecompressFile(dir, CompressFile(dir, data, mode)), data) << n;
      }
    }
  }
}

TEST(Container, ARepeatAtTheWindowsFarEdgeRoundTrips) {
  TempDir dir;
  const std::string text = "XYZ" + std::string(4093, 'A') + "XYZQ";
  const Bytes data(text.begin(), text.end());
  EXPECT_EQ(DecompressFile(dir, CompressFile(dir, data, TCompressMode::Fast)), data);
}

TEST(Container, GoodStreamIsTheClassicProgramsStream) {
  TempDir dir;
  const Bytes data = test::Text(200000, 21);
  const Bytes packed = CompressFile(dir, data, TCompressMode::Good);
  EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 8), Header("!HZL", 200000));
  EXPECT_EQ(Bytes(packed.begin() + 8, packed.end()), classic_lzhuf::Encode(data));
}

TEST(Container, StreamModeMatchesFileMode) {
  TempDir dir;
  const Bytes data = test::Text(70000, 8);
  for (const auto mode : {TCompressMode::Fast, TCompressMode::Good}) {
    std::stringstream in(std::string(data.begin(), data.end()));
    std::stringstream packed;
    Tlzrw1 doit;
    doit.UseStream = true;
    doit.CompressMode = mode;
    doit.InputStream = &in;
    doit.OutputStream = &packed;
    doit.Visible = true;
    const std::string bytes = [&] {
      doit.Compress();
      return packed.str();
    }();
    EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), CompressFile(dir, data, mode));
    EXPECT_EQ(doit.Caption().rfind("Lzrw1 : inputstream successfully compressed at ", 0), 0u);

    std::stringstream restored;
    doit.InputStream = &packed;
    doit.OutputStream = &restored;
    EXPECT_EQ(doit.Decompress(), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(restored.str(), std::string(data.begin(), data.end()));
    EXPECT_EQ(doit.Caption().rfind("LZrw1 : inputstream successfully decompressed at ", 0), 0u);
  }
}

TEST(Container, ResultTextsAndProgress) {
  TempDir dir;
  WriteFile(dir / "in", test::Text(100000));
  Tlzrw1 doit;
  int pumps = 0;
  doit.OnProcessMessages = [&] { ++pumps; };
  doit.CompressMode = TCompressMode::Fast;
  doit.InputFile = dir / "in";
  doit.OutputFile = dir / "packed";
  doit.Compress();
  EXPECT_TRUE(doit.Caption().empty());  // hidden: nothing shown
  EXPECT_GT(pumps, 4);
  doit.Visible = true;
  const auto out = doit.Compress();
  EXPECT_EQ(doit.Caption(), (dir / "in").string() + " : Lzrw1 : successfully compressed at " +
                                std::to_string(out * 100 / 100000) + "%");
}

TEST(Container, AdviseSamplesTwoBlocks) {
  TempDir dir;
  Tlzrw1 doit;
  doit.Visible = true;
  doit.InputFile = dir / "in";
  WriteFile(dir / "in", test::Repetitive(98303));
  EXPECT_EQ(doit.Advise(), TCompressMode::Good);
  EXPECT_EQ(doit.Caption(), "Lzrw1 recommends GOOD compression :  small file !!");
  WriteFile(dir / "in", Bytes(200000, 'a'));
  EXPECT_EQ(doit.Advise(), TCompressMode::Fast);
  EXPECT_EQ(doit.Caption(), "Lzrw1 recommends FAST compression : 0%.");
  WriteFile(dir / "in", test::RandomBytes(200000));
  EXPECT_EQ(doit.Advise(), TCompressMode::Good);
  EXPECT_EQ(doit.Caption(), "Lzrw1 recommends GOOD compression : 100%.");
  // Auto asks Advise: a small file goes to LZH.
  doit.CompressMode = TCompressMode::Auto;
  doit.OutputFile = dir / "packed";
  WriteFile(dir / "in", test::Text(1000));
  doit.Compress();
  EXPECT_EQ(ReadFile(dir / "packed")[0], '!');
  EXPECT_EQ(doit.CompressMode, TCompressMode::Auto);
}

TEST(Container, AdviseKeepsTheStreamPosition) {
  const Bytes data = test::RandomBytes(150000);
  std::stringstream in(std::string(data.begin(), data.end()));
  in.seekg(10);
  Tlzrw1 doit;
  doit.UseStream = true;
  doit.InputStream = &in;
  EXPECT_EQ(doit.Advise(), TCompressMode::Good);
  EXPECT_EQ(in.tellg(), 10);
}

void ExpectFailure(Tlzrw1& doit, bool compress, const std::string& text) {
  try {
    compress ? doit.Compress() : doit.Decompress();
    ADD_FAILURE() << "no exception, expected: " << text;
  } catch (const ELzrw1Exception& e) {
    EXPECT_EQ(e.what(), text);
  }
}

TEST(ContainerFailure, MissingFilesAndTheSameFileTwice) {
  TempDir dir;
  Tlzrw1 doit;
  doit.CompressMode = TCompressMode::Fast;
  doit.InputFile = dir / "none";
  doit.OutputFile = dir / "out";
  ExpectFailure(doit, true,
                "Lzrw1 compression : Failed to obtain the size of : " + (dir / "none").string());
  ExpectFailure(doit, false,
                "Lzrw1 (de)compression : Failed to open input file : " + (dir / "none").string());
  WriteFile(dir / "in", test::Text(5000));
  doit.InputFile = dir / "in";
  doit.OutputFile = dir / "no-such-dir/out";
  ExpectFailure(
      doit, true,
      "Lzrw1 (de)compression : Failed to open output file : " + (dir / "no-such-dir/out").string());
  doit.OutputFile = dir / "in";
  ExpectFailure(doit, true,
                "Lzrw1 (de)compression : Failed to open output file : " + (dir / "in").string());
  EXPECT_EQ(ReadFile(dir / "in"), test::Text(5000));
}

// An output that takes `limit` bytes and then refuses, like a full disk.
class FailingBuffer : public std::streambuf {
 public:
  explicit FailingBuffer(std::size_t limit) : limit_(limit) {}

 protected:
  int_type overflow(int_type c) override {
    if (written_ >= limit_) return traits_type::eof();
    ++written_;
    return c;
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    const auto take = std::min<std::streamsize>(n, static_cast<std::streamsize>(limit_ - written_));
    written_ += static_cast<std::size_t>(take);
    return take;
  }
  pos_type seekoff(off_type, std::ios::seekdir, std::ios::openmode) override {
    return static_cast<pos_type>(static_cast<off_type>(written_));
  }

 private:
  std::size_t limit_;
  std::size_t written_ = 0;
};

TEST(ContainerFailure, AHeaderThatUnderstatesTheSizeStopsBeforeWriting) {
  // Many full blocks under a header that promises ten bytes: nothing is written.
  std::string bytes = test::PackFast(std::string(200000, 'a'));
  bytes[4] = 10;
  bytes[5] = bytes[6] = bytes[7] = 0;
  std::istringstream in(bytes);
  std::ostringstream out;
  Tlzrw1 undo;
  undo.UseStream = true;
  undo.InputStream = &in;
  undo.OutputStream = &out;
  try {
    undo.Decompress();
    FAIL() << "no exception";
  } catch (const ELzrw1Exception& e) {
    EXPECT_STREQ(e.what(),
                 "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");
  }
  EXPECT_TRUE(out.str().empty());
}

TEST(ContainerFailure, AShortWriteIsReported) {
  for (const auto mode : {TCompressMode::Fast, TCompressMode::Good}) {
    const Bytes data = test::RandomBytes(100000);
    std::stringstream in(std::string(data.begin(), data.end()));
    FailingBuffer buffer(40000);
    std::ostream out(&buffer);
    Tlzrw1 doit;
    doit.UseStream = true;
    doit.CompressMode = mode;
    doit.InputStream = &in;
    doit.OutputStream = &out;
    ExpectFailure(doit, true, "Lzrw1 : Error writing to output stream !");
  }
}

TEST(ContainerFailure, StreamsThatCannotTellTheirPosition) {
  FailingBuffer unseekable(0);
  std::istream bad_in(nullptr);
  std::stringstream good;
  Tlzrw1 doit;
  doit.UseStream = true;
  doit.InputStream = &bad_in;
  doit.OutputStream = &good;
  ExpectFailure(doit, true, "Lzrw1 compression : Failed to obtain the size of the input stream !");
  ExpectFailure(doit, false, "Lzrw1 (de)compression : Failed to initialize input stream !");
}

struct CorruptCase {
  const char* file;
  std::string message;  // %s stands for the input file's name
};

// Names the case in test listings by its file, not by a dump of its bytes.
void PrintTo(const CorruptCase& c, std::ostream* out) {
  *out << c.file;
}

class CorruptContainer : public ::testing::TestWithParam<CorruptCase> {};

std::string Expand(std::string text, const std::string& name) {
  const auto at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, name);
  return text;
}

TEST_P(CorruptContainer, RaisesAndLeavesNoOutput) {
  TempDir dir;
  const std::string input = std::string(ZP_RECORDS_DATA) + "/corrupt/" + GetParam().file;
  ASSERT_TRUE(std::filesystem::exists(input)) << input;
  Tlzrw1 doit;
  doit.InputFile = input;
  doit.OutputFile = dir / "out";
  ExpectFailure(doit, false, Expand(GetParam().message, input));
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));

  // Stream mode raises too, with the stream's texts.
  const Bytes bytes = ReadFile(input);
  std::stringstream in(std::string(bytes.begin(), bytes.end()));
  std::stringstream out;
  doit.UseStream = true;
  doit.InputStream = &in;
  doit.OutputStream = &out;
  EXPECT_THROW(doit.Decompress(), ELzrw1Exception);
}

const std::string kNoHeader = "%s : Lzrw1 decompression : this file has no valid header !";
const std::string kCut = "Lzrw1 : Error reading from input file : %s";
const std::string kFastSizes =
    "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !";
const std::string kCorrupt = "Lzrw1 (decompression LZRW1/KH) : corrupt block, ";

INSTANTIATE_TEST_SUITE_P(
    Corpus, CorruptContainer,
    ::testing::Values(
        CorruptCase{"bad_signature.zpk", kNoHeader}, CorruptCase{"short_signature.zpk", kNoHeader},
        CorruptCase{"cut_size_field.zpk", kCut},
        CorruptCase{"block_too_long.zpk",
                    "Lzrw1 (decompression LZRW1/KH) : block longer than 32,769 bytes !"},
        CorruptCase{"cut_block.zpk", kCut},
        CorruptCase{"copy_before_start.zpk",
                    kCorrupt + "copy reaches before the start of the block !"},
        CorruptCase{"runs_past_block.zpk", kCorrupt + "block restores more than 32,768 bytes !"},
        CorruptCase{"unknown_flag.zpk", kCorrupt + "unknown block flag !"},
        CorruptCase{"control_word_at_end.zpk", kCorrupt + "block ends after a control word !"},
        CorruptCase{"size_mismatch.zpk", kFastSizes}, CorruptCase{"lying_size_2gb.zpk", kFastSizes},
        CorruptCase{"negative_size.zpk", kFastSizes}, CorruptCase{"missing_final_block.zpk", kCut},
        CorruptCase{"lzh_cut_stream.zpk", kCut}, CorruptCase{"lzh_lying_size_2gb.zpk", kCut},
        CorruptCase{"lzh_last_copy_overshoots.zpk",
                    "Lzrw1 (LZH decompression) : Original and compressed sizes do not match !"},
        CorruptCase{"lzh_negative_size.zpk",
                    "Lzrw1 (LZH decompression) : Original and compressed sizes do not match !"}),
    [](const ::testing::TestParamInfo<CorruptCase>& param_info) {
      std::string name = param_info.param.file;
      name.resize(name.find('.'));
      return name;
    });

}  // namespace
}  // namespace zp::records
