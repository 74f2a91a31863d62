#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zp::records {

// A tally text that cannot be read; what() is the text a user is shown.
class TallyFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The tally file's name for a game key ("ZanduPelix" gives "ZanduPelixtally.tld").
std::string TallyFileName(std::string_view game_key);

// The tally of games and wins: a 9-column table of decimal texts (stringgrid_scores). Row 0
// is the local user's own row; row i + 1 belongs to tallied player i ("Players Being
// Tallied"). The window shows it and forwards clicks to it; the main window feeds it words
// and finished games.
//
//   TallyTable tally;
//   const auto file = folder / TallyFileName("ZanduPelix");
//   if (auto failure = tally.LoadFile(file)) showMessage(failure->Notice());
//   tally.anotherword(3);
//   tally.addgame(TallyTable::kMine);
//   tally.SaveFile(file);
class TallyTable {
 public:
  static constexpr int kColumns = 9;
  // addgame's winner when the local user won.
  static constexpr std::string_view kMine = "addtomine";

  TallyTable();

  // ---- the table
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // "" for a cell outside the table.
  const std::string& Cell(int column, int row) const;
  void SetCell(int column, int row, std::string value);

  // ---- the two lists
  // Players Being Tallied: entry i is row i + 1 (their names, column 0).
  std::vector<std::string> TalliedPlayers() const;
  struct CurrentPlayer {
    std::string name;
    bool checked = false;
  };
  // Players In Current Game (checklist).
  const std::vector<CurrentPlayer>& CurrentPlayers() const { return checklist_; }
  // Refills "Players In Current Game" from the other seats' names; "<Waiting>" seats are
  // skipped and names already tallied come checked.
  void loadchecklist(const std::vector<std::string>& other_seat_names);
  // The main window's loadchecklist, which addgame runs first.
  std::function<void()> OnLoadChecklist;
  // A tick or untick in "Players In Current Game": starts tallying that player.
  void checklistClick(int index);

  // ---- what the window shows
  // mylabel_1 to mylabel_4 (1-based).
  const std::string& mylabel(int number) const;
  // label_1 to label_8 (1-based), for the selected tallied player.
  const std::string& label(int number) const;
  int Selected() const { return selected_; }
  // Selecting entry `index` of "Players Being Tallied" (-1: none).
  void select(int index);
  static std::string TallyHeading(std::string_view name) { return std::string(name) + "'s Tally"; }
  static std::string WinsCaption(std::string_view name) { return std::string(name) + " Wins:"; }
  static constexpr std::string_view kResetQuestion = "Are you sure you want to reset the Tally?";
  // The question before entry `index` stops being tallied.
  std::string UntallyQuestion(int index) const;

  // ---- operations; the counting ones do nothing while "Players In Current Game" is empty
  void anotherword(int column);
  void addtomineset(int column, std::string_view points, std::string_view word);
  void addgame(std::string_view winner);
  int addit(int column, int row);
  void addtomineincrease(int column);
  void moverow(int row);
  // Entry `index` unticked and the question answered Yes.
  void untally(int index);
  // "Reset Tally" confirmed.
  void reset();

  // ---- text form: "9", the row count, then every cell column by column, CR LF lines
  std::string savegrid() const;
  // Replaces the table; on an error the table is left as it was.
  void loadgrid(std::string_view text);
  // After loading: own labels, and the session columns start from zero.
  void loadtally();

  // ---- the tally file (a compressed container of the text)
  struct LoadFailure {
    std::string message;            // why the file could not be read
    std::filesystem::path kept_as;  // where the unreadable file was moved, empty if not
    bool KeptAside() const { return !kept_as.empty(); }
    // What the player is told, once, in a message box: why, and where the file is now.
    std::string Notice() const;
  };
  // Starts afresh, then loads `file` if it exists. An unreadable file is moved aside (name +
  // ".bad") so that the next save cannot overwrite it, and the tally starts empty. A file
  // that cannot be moved aside stays where it is and is never saved over.
  std::optional<LoadFailure> LoadFile(const std::filesystem::path& file);
  // Writes a new file beside `file` and puts it in place only once it is complete, so a
  // failure never loses the last good tally. Returns an error text, or nothing on success.
  // A file that LoadFile could not read (no scratch space) is never saved over.
  std::optional<std::string> SaveFile(const std::filesystem::path& file) const;

 private:
  using Row = std::array<std::string, kColumns>;
  void Clear();
  bool Counting() const { return !checklist_.empty(); }
  int TalliedIndex(std::string_view name) const;
  void RefreshSelected();

  std::vector<Row> rows_;
  std::vector<CurrentPlayer> checklist_;
  std::array<std::string, 4> mylabels_;
  std::array<std::string, 8> labels_;
  int selected_ = -1;
  // A tally file that could not be read and is still in its place: never saved over.
  std::filesystem::path unread_;
};

}  // namespace zp::records
