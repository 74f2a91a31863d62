#include "records/lzrw1.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <istream>
#include <limits>
#include <new>
#include <ostream>
#include <system_error>

namespace zp::records {

namespace {

constexpr std::uint8_t kSignatureFast[4] = {'W', 'R', 'Z', 'L'};
constexpr std::uint8_t kSignatureGood[4] = {'!', 'H', 'Z', 'L'};
// Below this many bytes Advise does not sample: LZH wins on small files.
constexpr std::int64_t kAdviseMinimum = 3 * static_cast<std::int64_t>(kBlockSize);

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

std::string Percent(std::int64_t out, std::int64_t in) {
  return std::to_string(in > 0 ? out * 100 / in : 0);
}

// Marks the component busy for one operation; the message pump may re-enter it.
class BusyGuard {
 public:
  explicit BusyGuard(bool& busy) : busy_(busy) {
    if (busy_) throw ELzrw1Exception("Lzrw1 : already busy with another file !");
    busy_ = true;
  }
  ~BusyGuard() { busy_ = false; }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  bool& busy_;
};

}  // namespace

// ---- I/O ends --------------------------------------------------------------------------

class Tlzrw1::Input {
 public:
  virtual ~Input() = default;
  // Up to `size` bytes; fewer at the end or on an error (see Failed).
  virtual std::size_t Read(std::uint8_t* data, std::size_t size) = 0;
  virtual bool Failed() const = 0;
};

class Tlzrw1::Output {
 public:
  virtual ~Output() = default;
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
};

class Tlzrw1::FileInput : public Input {
 public:
  explicit FileInput(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~FileInput() override {
    if (file_) std::fclose(file_);
  }
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  bool IsOpen() const { return file_ != nullptr; }
  std::size_t Read(std::uint8_t* data, std::size_t size) override {
    return std::fread(data, 1, size, file_);
  }
  bool Failed() const override { return std::ferror(file_) != 0; }
  bool Seek(std::int64_t offset) { return std::fseek(file_, offset, SEEK_SET) == 0; }

 private:
  std::FILE* file_;
};

class Tlzrw1::FileOutput : public Output {
 public:
  FileOutput(const std::string& path, const std::string& input) : path_(path), input_(input) {
    std::error_code ec;
    if (!input_.empty() && std::filesystem::equivalent(path_, input_, ec)) return;
    file_ = std::fopen(path.c_str(), "wb");
    struct stat st {};
    // Only a regular file of ours is deleted after a failure, never a device or a pipe.
    regular_ = file_ && ::fstat(::fileno(file_), &st) == 0 && S_ISREG(st.st_mode);
  }
  ~FileOutput() override { Discard(); }
  FileOutput(const FileOutput&) = delete;
  FileOutput& operator=(const FileOutput&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  bool Write(const std::uint8_t* data, std::size_t size) override {
    return std::fwrite(data, 1, size, file_) == size;
  }
  // Flushes and closes; false when the data did not all reach the file.
  bool Close() {
    std::FILE* f = file_;
    file_ = nullptr;
    return std::fclose(f) == 0;
  }
  // Closes and deletes a partly written file.
  void Discard() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    if (regular_) std::remove(path_.c_str());
  }
  bool Regular() const { return regular_; }

 private:
  std::string path_;
  std::string input_;
  std::FILE* file_ = nullptr;
  bool regular_ = false;
};

class Tlzrw1::StreamInput : public Input {
 public:
  explicit StreamInput(std::istream& in) : in_(in) {}
  std::size_t Read(std::uint8_t* data, std::size_t size) override {
    if (!in_.good()) return 0;
    in_.read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(in_.gcount());
  }
  bool Failed() const override { return in_.bad(); }

 private:
  std::istream& in_;
};

class Tlzrw1::StreamOutput : public Output {
 public:
  explicit StreamOutput(std::ostream& out) : out_(out) {}
  bool Write(const std::uint8_t* data, std::size_t size) override {
    out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return out_.good();
  }

 private:
  std::ostream& out_;
};

struct Tlzrw1::Buffers {
  std::unique_ptr<std::uint8_t[]> in;
  std::unique_ptr<std::uint8_t[]> out;
  bool Allocate() {
    in.reset(new (std::nothrow) std::uint8_t[kBufferSize]());
    out.reset(new (std::nothrow) std::uint8_t[kBufferSize]());
    return in && out;
  }
};

// The LZH engine's ends, counting and checking as the component's own reads and writes do.
class Tlzrw1::LzhReader : public LzhInput {
 public:
  LzhReader(Tlzrw1& owner, Input& in) : owner_(owner), in_(in) {}
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override {
    const std::size_t n = in_.Read(buffer, capacity);
    if (in_.Failed()) {
      throw ELzrw1Exception(owner_.UseStream ? "Lzrw1 : Error reading from input stream ! (LZH)"
                                             : "Lzrw1 : Error reading from input file : " +
                                                   owner_.InputFile + " (LZH)");
    }
    owner_.bytes_in_ += static_cast<std::int64_t>(n);
    owner_.Pump();
    return n;
  }

 private:
  Tlzrw1& owner_;
  Input& in_;
};

class Tlzrw1::LzhWriter : public LzhOutput {
 public:
  LzhWriter(Tlzrw1& owner, Output& out) : owner_(owner), out_(out) {}
  void Write(const std::uint8_t* data, std::size_t size) override {
    owner_.WriteChecked(out_, data, size);
    owner_.Show("(LZH) Bytes in : " + std::to_string(owner_.bytes_in_) +
                " Bytes out : " + std::to_string(owner_.bytes_out_));
  }

 private:
  Tlzrw1& owner_;
  Output& out_;
};

// ---- the component -----------------------------------------------------------------------

Tlzrw1::Tlzrw1() : lzr_(new (std::nothrow) TLZR()) {
  if (!lzr_) throw ELzrw1KHCompressor("LZRW1KH : no memory for HASH table");
}

Tlzrw1::~Tlzrw1() = default;

void Tlzrw1::Show(const std::string& text) {
  if (Visible) caption_ = text;
}

void Tlzrw1::Pump() {
  if (OnProcessMessages) OnProcessMessages();
}

std::string Tlzrw1::ReadErrorText() const {
  return UseStream ? "Lzrw1 : Error reading from input stream !"
                   : "Lzrw1 : Error reading from input file : " + InputFile;
}

std::string Tlzrw1::WriteErrorText() const {
  return UseStream ? "Lzrw1 : Error writing to output stream !"
                   : "Lzrw1 : Error writing to output file : " + OutputFile;
}

void Tlzrw1::WriteChecked(Output& out, const std::uint8_t* data, std::size_t size) {
  if (!out.Write(data, size)) throw ELzrw1Exception(WriteErrorText());
  bytes_out_ += static_cast<std::int64_t>(size);
  Pump();
}

void Tlzrw1::ReadExact(Input& in, std::uint8_t* data, std::size_t size) {
  if (in.Read(data, size) != size) throw ELzrw1Exception(ReadErrorText());
  bytes_in_ += static_cast<std::int64_t>(size);
  Pump();
}

namespace {

// Bytes from the stream's position to its end, or -1; the position is kept.
std::int64_t RemainingInStream(std::istream& in) {
  const auto start = in.tellg();
  if (start == std::istream::pos_type(-1)) return -1;
  in.seekg(0, std::ios::end);
  const auto end = in.tellg();
  in.seekg(start);
  if (end == std::istream::pos_type(-1) || !in) {
    in.clear();
    in.seekg(start);
    return -1;
  }
  return static_cast<std::int64_t>(end - start);
}

std::int64_t FileSize(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return -1;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return -1;
  return static_cast<std::int64_t>(size);
}

}  // namespace

struct Tlzrw1::Ends {
  std::unique_ptr<Input> in;
  std::unique_ptr<FileOutput> file_out;  // deletes a partial file unless closed
  std::unique_ptr<Output> stream_out;
  Output* out = nullptr;
};

Tlzrw1::Ends Tlzrw1::OpenEnds() {
  Ends ends;
  if (UseStream) {
    if (!InputStream || InputStream->tellg() == std::istream::pos_type(-1)) {
      throw ELzrw1Exception("Lzrw1 (de)compression : Failed to initialize input stream !");
    }
    if (!OutputStream || OutputStream->tellp() == std::ostream::pos_type(-1)) {
      throw ELzrw1Exception("Lzrw1 (de)compression : Failed to initialize output stream !");
    }
    ends.in = std::make_unique<StreamInput>(*InputStream);
    ends.stream_out = std::make_unique<StreamOutput>(*OutputStream);
    ends.out = ends.stream_out.get();
    return ends;
  }
  auto file_in = std::make_unique<FileInput>(InputFile);
  if (!file_in->IsOpen()) {
    throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open input file : " + InputFile);
  }
  ends.in = std::move(file_in);
  ends.file_out = std::make_unique<FileOutput>(OutputFile, InputFile);
  if (!ends.file_out->IsOpen()) {
    throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open output file : " + OutputFile);
  }
  ends.out = ends.file_out.get();
  return ends;
}

void Tlzrw1::CloseEnds(Ends& ends) {
  if (ends.file_out && !ends.file_out->Close()) {
    if (ends.file_out->Regular()) std::remove(OutputFile.c_str());
    throw ELzrw1Exception(WriteErrorText());
  }
}

std::int64_t Tlzrw1::Compress() {
  const TCompressMode mode = CompressMode == TCompressMode::Auto ? Advise() : CompressMode;
  BusyGuard busy(busy_);

  Buffers buffers;
  if (!buffers.Allocate()) {
    throw ELzrw1Exception("Lzrw1 (de)compression : Failed to get memory for I/O buffers !");
  }
  const bool fast = mode == TCompressMode::Fast;

  std::int64_t length;
  if (UseStream) {
    length = InputStream ? RemainingInStream(*InputStream) : -1;
    if (length < 0 || length > std::numeric_limits<std::int32_t>::max()) {
      throw ELzrw1Exception("Lzrw1 compression : Failed to obtain the size of the input stream !");
    }
  } else {
    length = FileSize(InputFile);
    if (length < 0 || length > std::numeric_limits<std::int32_t>::max()) {
      throw ELzrw1Exception("Lzrw1 compression : Failed to obtain the size of : " + InputFile);
    }
  }

  Ends ends = OpenEnds();
  Input* in = ends.in.get();
  Output* out = ends.out;

  // On any failure from here on, the file output's destructor deletes the partial file.
  std::uint8_t header[8];
  std::copy(fast ? kSignatureFast : kSignatureGood, (fast ? kSignatureFast : kSignatureGood) + 4,
            header);
  PutLe32(header + 4, static_cast<std::uint32_t>(length));
  bytes_in_ = 0;
  bytes_out_ = 0;
  WriteChecked(*out, header, sizeof header);
  if (fast) {
    CompressFast(*in, *out, buffers);
  } else {
    CompressGood(*in, *out, buffers);
  }
  CloseEnds(ends);
  if (UseStream) {
    Show("Lzrw1 : inputstream successfully compressed at " + Percent(bytes_out_, bytes_in_) + "%");
  } else {
    Show(InputFile + " : Lzrw1 : successfully compressed at " + Percent(bytes_out_, bytes_in_) +
         "%");
  }
  return bytes_out_;
}

void Tlzrw1::CompressFast(Input& in, Output& out, Buffers& buffers) {
  for (;;) {
    const std::size_t n = in.Read(buffers.in.get(), kBlockSize);
    if (in.Failed()) {
      throw ELzrw1Exception(UseStream ? "Lzrw1 : Error reading from input stream ! (LZRW1/KH)"
                                      : "Lzrw1 : Error reading from input file : " + InputFile +
                                            " (LZRW1/KH)");
    }
    bytes_in_ += static_cast<std::int64_t>(n);
    Pump();
    // The hash looks two bytes past the data; keep what it sees independent of old data.
    buffers.in[n] = 0;
    buffers.in[n + 1] = 0;
    const std::size_t length = lzr_->Compress(buffers.in.get(), n, buffers.out.get() + 2);
    buffers.out[0] = static_cast<std::uint8_t>(length);
    buffers.out[1] = static_cast<std::uint8_t>(length >> 8);
    WriteChecked(out, buffers.out.get(), length + 2);
    Show("(LZRW1/KH) Bytes in : " + std::to_string(bytes_in_) +
         " Bytes out : " + std::to_string(bytes_out_));
    if (n < kBlockSize) break;
  }
}

void Tlzrw1::CompressGood(Input& in, Output& out, Buffers& buffers) {
  LzhReader reader(*this, in);
  LzhWriter writer(*this, out);
  lzh_.Encode(reader, writer, buffers.in.get(), buffers.out.get(), kBlockSize);
}

std::int64_t Tlzrw1::Decompress() {
  BusyGuard busy(busy_);
  Buffers buffers;
  if (!buffers.Allocate()) {
    throw ELzrw1Exception("Lzrw1 (de)compression : Failed to get memory for I/O buffers !");
  }

  Ends ends = OpenEnds();
  Input* in = ends.in.get();
  Output* out = ends.out;

  // On any failure from here on, the file output's destructor deletes the partial file.
  bytes_in_ = 0;
  bytes_out_ = 0;
  std::uint8_t header[4];
  if (in->Read(header, 4) != 4 || (!std::equal(header, header + 4, kSignatureFast) &&
                                   !std::equal(header, header + 4, kSignatureGood))) {
    throw ELzrw1Exception(
        UseStream ? "Lzrw1 decompression : input stream contains no valid header !"
                  : InputFile + " : Lzrw1 decompression : this file has no valid header !");
  }
  bytes_in_ = 4;
  Pump();
  const bool fast = std::equal(header, header + 4, kSignatureFast);
  ReadExact(*in, header, 4);
  const auto size = static_cast<std::int32_t>(GetLe32(header));
  if (fast) {
    DecompressFast(*in, *out, buffers, size);
  } else {
    DecompressGood(*in, *out, buffers, size);
  }
  CloseEnds(ends);
  if (UseStream) {
    Show("LZrw1 : inputstream successfully decompressed at " + Percent(bytes_out_, bytes_in_) +
         "%");
  } else {
    Show(InputFile + " : Lzrw1 : successfully decompressed at " + Percent(bytes_out_, bytes_in_) +
         "%");
  }
  return bytes_out_;
}

void Tlzrw1::DecompressFast(Input& in, Output& out, Buffers& buffers, std::int32_t size) {
  std::size_t last = kBlockSize;
  while (last == kBlockSize) {
    std::uint8_t word[2];
    ReadExact(in, word, 2);
    const std::size_t length = std::size_t{word[0]} | (std::size_t{word[1]} << 8);
    if (length > kMaxBlockLength) {
      throw ELzrw1Exception("Lzrw1 (decompression LZRW1/KH) : block longer than 32,769 bytes !");
    }
    ReadExact(in, buffers.in.get(), length);
    try {
      last = TLZR::Decompress(buffers.in.get(), length, buffers.out.get());
    } catch (const CorruptBlock& e) {
      throw ELzrw1Exception(std::string("Lzrw1 (decompression LZRW1/KH) : corrupt block, ") +
                            e.what() + " !");
    }
    // A container restoring more than its header says stops here, not gigabytes later.
    if (size < 0 || bytes_out_ + static_cast<std::int64_t>(last) > size) {
      throw ELzrw1Exception(
          "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");
    }
    WriteChecked(out, buffers.out.get(), last);
    Show("(LZRW1/KH) Bytes in : " + std::to_string(bytes_in_) +
         " Bytes out : " + std::to_string(bytes_out_));
  }
  if (bytes_out_ != size) {
    throw ELzrw1Exception(
        "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");
  }
}

void Tlzrw1::DecompressGood(Input& in, Output& out, Buffers& buffers, std::int32_t size) {
  LzhReader reader(*this, in);
  LzhWriter writer(*this, out);
  const auto wanted = static_cast<std::uint64_t>(size < 0 ? 0 : size);
  switch (lzh_.Decode(reader, writer, wanted, buffers.in.get(), buffers.out.get(), kBlockSize)) {
    case TLZH::DecodeResult::kOk:
      break;
    case TLZH::DecodeResult::kTruncated:
      throw ELzrw1Exception(ReadErrorText());
    case TLZH::DecodeResult::kOvershoot:
      // The decoder stopped at the stated size: what it restored differs from it.
      throw ELzrw1Exception(
          "Lzrw1 (LZH decompression) : Original and compressed sizes do not match !");
  }
  if (bytes_out_ != size) {
    throw ELzrw1Exception(
        "Lzrw1 (LZH decompression) : Original and compressed sizes do not match !");
  }
}

TCompressMode Tlzrw1::Advise() {
  BusyGuard busy(busy_);
  Show(UseStream ? std::string("Guessing the best compression mode for the inputstream")
                 : "Guessing the best compression mode for : " + InputFile);
  Buffers buffers;
  if (!buffers.Allocate()) throw ELzrw1Exception("Lzrw1 advise : Error getting I/O buffers");

  std::int64_t length;
  std::unique_ptr<FileInput> file_in;
  std::istream::pos_type start = 0;
  if (UseStream) {
    length = InputStream ? RemainingInStream(*InputStream) : -1;
    if (length < 0) throw ELzrw1Exception("Lzrw1 advise : can not get size of inputstream !");
    start = InputStream->tellg();
  } else {
    length = FileSize(InputFile);
    if (length < 0) throw ELzrw1Exception("Lzrw1 advise : can not get the size of : " + InputFile);
    file_in = std::make_unique<FileInput>(InputFile);
    if (!file_in->IsOpen()) {
      throw ELzrw1Exception("Lzrw1 advise : can open input file : " + InputFile);
    }
  }

  if (length < kAdviseMinimum) {
    Show("Lzrw1 recommends GOOD compression :  small file !!");
    return TCompressMode::Good;
  }

  const std::string read_error = UseStream
                                     ? std::string("Lzrw1 advise : input stream read error !")
                                     : "Lzrw1 advise : read error on input file : " + InputFile;
  std::int64_t compressed = 0;
  std::int64_t read = 0;
  const auto block = static_cast<std::int64_t>(kBlockSize);
  for (const std::int64_t offset : {length / 3 / block * block, length * 2 / 3 / block * block}) {
    std::size_t n;
    if (UseStream) {
      InputStream->clear();
      InputStream->seekg(start + static_cast<std::streamoff>(offset));
      StreamInput sample(*InputStream);
      n = sample.Read(buffers.in.get(), kBlockSize);
      if (sample.Failed()) {
        InputStream->clear();
        InputStream->seekg(start);
        throw ELzrw1Exception(read_error);
      }
    } else {
      if (!file_in->Seek(offset)) throw ELzrw1Exception(read_error);
      n = file_in->Read(buffers.in.get(), kBlockSize);
      if (file_in->Failed()) throw ELzrw1Exception(read_error);
    }
    buffers.in[n] = 0;
    buffers.in[n + 1] = 0;
    compressed += static_cast<std::int64_t>(lzr_->Compress(buffers.in.get(), n, buffers.out.get()));
    read += static_cast<std::int64_t>(n);
    Pump();
  }
  if (UseStream) {
    InputStream->clear();
    InputStream->seekg(start);
  }
  const std::string figure = Percent(compressed, read) + "%.";
  if (read > 0 && compressed < read * Threshold / 100) {
    Show("Lzrw1 recommends FAST compression : " + figure);
    return TCompressMode::Fast;
  }
  Show("Lzrw1 recommends GOOD compression : " + figure);
  return TCompressMode::Good;
}

}  // namespace zp::records
