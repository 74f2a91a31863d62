// The directory holding 10,000 tables: a full list, and the registrations it absorbs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "directory/table_directory.h"

namespace {

using namespace zp::directory;
namespace net = zp::net;

class QuietShell : public DirectoryShell {
 public:
  bool send(int, std::string_view bytes) override {
    sent += bytes.size();
    return true;
  }
  void close(int) override {}
  std::size_t unsentBytes(int) const override { return 0; }
  // Every table answers its check at once.
  void probe(int id, const std::string&, int) override {
    if (directory) directory->probeAnswered(id, true);
  }
  std::size_t sent = 0;
  TableDirectory* directory = nullptr;
};

// A table as a club would fill it: a name, four seated players, a game under way.
net::TableInfo clubTable(int n) {
  const std::string id = std::to_string(n);
  return {"Thursday club table " + id,
          "1.0.15",
          true,
          300,
          60,
          2,
          {"Annabel" + id, "Bartholomew", "Cyrus", "Delphine"},
          zp::ComputerStrength::Classic};
}

// One connection per address, each registering its 64 tables.
struct Full {
  QuietShell shell;
  TableDirectory directory{shell};
  std::vector<int> peers;
  std::vector<std::string> registrations;  // by table
  Full() {
    shell.directory = &directory;
    for (int n = 0; n < kMaxTables; ++n) {
      if (n % kMaxTablesPerAddress == 0)
        peers.push_back(directory
                            .acceptPeer("10.1." + std::to_string(n / kMaxTablesPerAddress / 256) +
                                        "." + std::to_string(n / kMaxTablesPerAddress % 256))
                            .peer);
      registrations.push_back(
          net::to_directory::registertable({7000 + n % kMaxTablesPerAddress, clubTable(n)}));
      directory.bytesReceived(peers.back(), registrations.back());
    }
  }
};

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

void BM_FullList(benchmark::State& state) {
  Full full;
  const int lobby = full.directory.acceptPeer("192.168.0.9").peer;
  const std::string request = net::to_directory::tablelist();
  for (auto _ : state) {
    full.shell.sent = 0;
    full.directory.bytesReceived(lobby, request);
    while (full.directory.writeLists()) {
    }
  }
  state.counters["tables"] = static_cast<double>(full.directory.tables().size());
  state.counters["answer_bytes"] = static_cast<double>(full.shell.sent);
}
BENCHMARK(BM_FullList)->Unit(benchmark::kMillisecond);

// Every table of a full directory refreshing, peers in turn, as they do every 15 s.
void BM_Refreshes(benchmark::State& state) {
  Full full;
  std::size_t n = 0;
  for (auto _ : state) {
    const std::size_t table = n++ % full.registrations.size();
    full.directory.bytesReceived(full.peers[table / kMaxTablesPerAddress],
                                 full.registrations[table]);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_Refreshes);

// Filling an empty directory to 10,000 tables; also the memory the full directory holds.
// Run alone (--benchmark_filter=BM_FillTo10000) for the memory: the first fill of the
// process is the one that grows it; later fills reuse what the earlier ones freed.
long grown = 0;

void BM_FillTo10000(benchmark::State& state) {
  for (auto _ : state) {
    const long before = residentKb();
    Full full;
    grown = std::max(grown, residentKb() - before);
    benchmark::DoNotOptimize(full.directory.tables().size());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kMaxTables);
  state.counters["resident_kB_grown"] = static_cast<double>(grown);
}
BENCHMARK(BM_FillTo10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
