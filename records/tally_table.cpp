#include "records/tally_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "records/lzrw1.h"
#include "records/replace_file.h"
#include "rules/constants.h"

namespace zp::records {

namespace {

const std::string kEmpty;
const std::string kZero = "0";

// A cell's number; empty or unreadable cells count as 0, so one bad cell never stops counting.
long long Number(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  return value;
}

std::optional<long long> ParseNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Moves an unreadable tally file aside under a name not yet taken.
std::filesystem::path KeepBadFile(const std::filesystem::path& file) {
  for (int n = 1; n < 1000; ++n) {
    std::filesystem::path kept = file;
    kept += n == 1 ? std::string(".bad") : ".bad" + std::to_string(n);
    std::error_code ec;
    if (std::filesystem::exists(kept, ec) || ec) continue;
    std::filesystem::rename(file, kept, ec);
    return ec ? std::filesystem::path() : kept;
  }
  return {};
}

}  // namespace

std::string TallyFileName(std::string_view game_key) {
  return std::string(game_key) + "tally.tld";
}

TallyTable::TallyTable() {
  rows_.resize(1);
  rows_[0].fill(kZero);
  mylabels_.fill(kZero);
  labels_.fill(kZero);
}

const std::string& TallyTable::Cell(int column, int row) const {
  if (column < 0 || column >= kColumns || row < 0 || row >= RowCount()) return kEmpty;
  return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void TallyTable::SetCell(int column, int row, std::string value) {
  if (column < 0 || column >= kColumns || row < 0 || row >= RowCount()) return;
  rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(value);
}

std::vector<std::string> TallyTable::TalliedPlayers() const {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < rows_.size(); ++i) names.push_back(rows_[i][0]);
  return names;
}

int TallyTable::TalliedIndex(std::string_view name) const {
  for (std::size_t i = 1; i < rows_.size(); ++i) {
    if (rows_[i][0] == name) return static_cast<int>(i) - 1;
  }
  return -1;
}

void TallyTable::loadchecklist(const std::vector<std::string>& other_seat_names) {
  checklist_.clear();
  for (const auto& name : other_seat_names) {
    if (name == kWaiting) continue;
    checklist_.push_back({name, TalliedIndex(name) >= 0});
  }
}

void TallyTable::checklistClick(int index) {
  if (index < 0 || index >= static_cast<int>(checklist_.size())) return;
  auto& entry = checklist_[static_cast<std::size_t>(index)];
  entry.checked = !entry.checked;
  if (TalliedIndex(entry.name) >= 0) return;
  Row row;
  row.fill(kZero);
  row[0] = entry.name;
  rows_.push_back(std::move(row));
}

const std::string& TallyTable::mylabel(int number) const {
  if (number < 1 || number > 4) return kEmpty;
  return mylabels_[static_cast<std::size_t>(number - 1)];
}

const std::string& TallyTable::label(int number) const {
  if (number < 1 || number > 8) return kEmpty;
  return labels_[static_cast<std::size_t>(number - 1)];
}

void TallyTable::select(int index) {
  selected_ = index >= 0 && index + 1 < RowCount() ? index : -1;
  RefreshSelected();
}

void TallyTable::RefreshSelected() {
  if (selected_ < 0) return;
  for (int c = 1; c <= 8; ++c) labels_[static_cast<std::size_t>(c - 1)] = Cell(c, selected_ + 1);
}

std::string TallyTable::UntallyQuestion(int index) const {
  return "This will delete " + Cell(0, index + 1) + "'s Tally, Are you want to delete it?";
}

int TallyTable::addit(int column, int row) {
  if (!Counting()) return 0;
  if (column < 0 || column >= kColumns || row < 0 || row >= RowCount()) return 0;
  std::string& cell = rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  long long value = Number(cell);
  if (value < INT_MAX) ++value;
  cell = std::to_string(value);
  return static_cast<int>(value);
}

void TallyTable::addtomineincrease(int column) {
  if (!Counting()) return;
  const int value = addit(column, 0);
  if (column >= 1 && column <= 4)
    mylabels_[static_cast<std::size_t>(column - 1)] = std::to_string(value);
}

void TallyTable::anotherword(int column) {
  addtomineincrease(column);
}

void TallyTable::addtomineset(int column, std::string_view points, std::string_view word) {
  if (!Counting() || column < 0 || column + 1 >= kColumns) return;
  const auto new_points = ParseNumber(points);
  if (!new_points) return;
  // An empty or unreadable best score must not block every later word.
  if (Number(Cell(column + 1, 0)) >= *new_points) return;
  rows_[0][static_cast<std::size_t>(column)] = std::string(word);
  rows_[0][static_cast<std::size_t>(column) + 1] = std::to_string(*new_points);
  mylabels_[3] = std::string(word) + " (" + std::to_string(*new_points) + ")";
}

void TallyTable::addgame(std::string_view winner) {
  if (OnLoadChecklist) OnLoadChecklist();
  addtomineincrease(1);
  if (winner == kMine) addtomineincrease(2);
  for (const auto& player : checklist_) {
    const int index = TalliedIndex(player.name);
    if (index < 0) continue;
    const int row = index + 1;
    for (int c = 1; c <= 8; ++c) {
      if (Cell(c, row).empty()) SetCell(c, row, kZero);
    }
    addit(1, row);
    addit(5, row);
    if (Cell(0, row) == winner) {
      addit(2, row);
      addit(6, row);
    } else if (winner != kMine) {
      addit(4, row);
      addit(8, row);
    } else {
      addit(3, row);
      addit(7, row);
    }
  }
  RefreshSelected();
}

void TallyTable::moverow(int row) {
  const int count = RowCount();
  if (row < 0 || row >= count) return;
  if (count > 2 && row != count - 1) {
    for (int r = row; r < count - 1; ++r) {
      rows_[static_cast<std::size_t>(r)] = rows_[static_cast<std::size_t>(r) + 1];
    }
  }
  if (count > 1) rows_.pop_back();
}

void TallyTable::untally(int index) {
  if (index < 0 || index + 1 >= RowCount()) return;
  moverow(index + 1);
  if (selected_ == index) {
    selected_ = -1;
  } else if (selected_ > index) {
    --selected_;
  }
}

void TallyTable::reset() {
  for (int c = 1; c <= 5; ++c) rows_[0][static_cast<std::size_t>(c)] = kZero;
  mylabels_.fill(kZero);
  if (rows_.size() > 1) {
    for (auto& row : rows_) {
      row[0].clear();
      for (int c = 1; c <= 8; ++c) row[static_cast<std::size_t>(c)] = kZero;
    }
  }
  rows_.resize(1);
  selected_ = -1;
  labels_.fill(kZero);
}

std::string TallyTable::savegrid() const {
  std::string text = std::to_string(kColumns) + "\r\n" + std::to_string(RowCount()) + "\r\n";
  for (int c = 0; c < kColumns; ++c) {
    for (const auto& row : rows_) {
      std::string cell = row[static_cast<std::size_t>(c)];
      // A line break inside a name would shift every later cell of the file.
      for (char& ch : cell) {
        if (ch == '\r' || ch == '\n') ch = ' ';
      }
      text += cell;
      text += "\r\n";
    }
  }
  return text;
}

void TallyTable::loadgrid(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  if (lines.size() < 2) throw TallyFormatError("The tally file is empty or cut short.");
  const auto columns = ParseNumber(lines[0]);
  const auto row_count = ParseNumber(lines[1]);
  if (!columns || *columns != kColumns) {
    throw TallyFormatError("The tally file's column count '" + std::string(lines[0]) +
                           "' is not valid.");
  }
  if (!row_count || *row_count < 1) {
    throw TallyFormatError("The tally file's row count '" + std::string(lines[1]) +
                           "' is not valid.");
  }
  const std::size_t cells = lines.size() - 2;
  if (static_cast<unsigned long long>(*row_count) > cells / kColumns) {
    throw TallyFormatError("The tally file is cut short: it claims " + std::string(lines[1]) +
                           " rows.");
  }
  const auto r = static_cast<std::size_t>(*row_count);
  std::vector<Row> rows(r);
  for (std::size_t c = 0; c < kColumns; ++c) {
    for (std::size_t i = 0; i < r; ++i) rows[i][c] = std::string(lines[2 + c * r + i]);
  }
  rows_ = std::move(rows);
  selected_ = -1;
}

void TallyTable::loadtally() {
  for (int c = 1; c <= 3; ++c) mylabels_[static_cast<std::size_t>(c - 1)] = Cell(c, 0);
  if (!Cell(5, 0).empty()) mylabels_[3] = Cell(4, 0) + " (" + Cell(5, 0) + ")";
  for (std::size_t i = 1; i < rows_.size(); ++i) {
    for (std::size_t c = 5; c <= 8; ++c) rows_[i][c] = kZero;
  }
}

void TallyTable::Clear() {
  auto hook = std::move(OnLoadChecklist);
  *this = TallyTable();
  OnLoadChecklist = std::move(hook);
}

std::optional<TallyTable::LoadFailure> TallyTable::LoadFile(const std::filesystem::path& file) {
  Clear();
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return std::nullopt;
  // The text goes through a private scratch file, so the messages name the tally file as
  // a user knows it and no fixed name in the working directory is touched.
  std::string scratch =
      (std::filesystem::temp_directory_path(ec) / "zandupelix-tally.XXXXXX").string();
  const int fd = ::mkstemp(scratch.data());
  if (fd >= 0) ::close(fd);
  try {
    if (fd < 0) throw ELzrw1Exception(ErrnoText("Cannot create a scratch file", scratch));
    Tlzrw1 doit;
    doit.CompressMode = TCompressMode::Fast;
    doit.InputFile = file.string();
    doit.OutputFile = scratch;
    doit.Decompress();
    std::ifstream in(scratch, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ::unlink(scratch.c_str());
    loadgrid(text.str());
    loadtally();
    return std::nullopt;
  } catch (const std::exception& e) {
    if (fd >= 0) ::unlink(scratch.c_str());
    Clear();
    // A scratch file that could not be made or written says nothing about the tally file:
    // it stays where it is, and this run will not save over what it could not read.
    const std::string scratchFailed = "Lzrw1 : Error writing to output file : " + scratch;
    if (fd < 0 || e.what() == scratchFailed) {
      unread_ = file;
      return LoadFailure{e.what(), {}};
    }
    LoadFailure failure{e.what(), KeepBadFile(file)};
    if (!failure.KeptAside()) unread_ = file;
    return failure;
  }
}

std::string TallyTable::LoadFailure::Notice() const {
  if (KeptAside())
    return "The tally could not be read: " + message + "\n\nThe file was kept as " +
           kept_as.string() + ", and the tally starts empty.";
  return "The tally could not be read: " + message +
         "\n\nThe file is left as it was, and this game's tally will not be saved over it.";
}

std::optional<std::string> TallyTable::SaveFile(const std::filesystem::path& file) const {
  if (!unread_.empty() && file == unread_) {
    return "The tally file " + file.string() + " could not be read and is left as it was.";
  }
  try {
    std::istringstream text(savegrid());
    std::stringstream packed;
    Tlzrw1 doit;
    doit.CompressMode = TCompressMode::Fast;
    doit.UseStream = true;
    doit.InputStream = &text;
    doit.OutputStream = &packed;
    doit.Compress();
    return ReplaceFile(file, packed.str());
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

}  // namespace zp::records
