// Any bytes as tally text: loadgrid either takes them or leaves the table as it was, and
// what it takes survives savegrid and loadgrid unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "records/tally_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zp::records::TallyTable;
  const std::string text(reinterpret_cast<const char*>(data), size);
  TallyTable tally;
  const std::string before = tally.savegrid();
  try {
    tally.loadgrid(text);
  } catch (const zp::records::TallyFormatError&) {
    if (tally.savegrid() != before) std::abort();
    return 0;
  }
  tally.loadtally();
  tally.loadchecklist({"someone"});
  tally.addgame("someone");
  const std::string saved = tally.savegrid();
  TallyTable again;
  again.loadgrid(saved);
  if (again.savegrid() != saved) std::abort();
  return 0;
}
