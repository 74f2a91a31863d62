// Drawing the board: the whole board and rack from the three layers, as after a new board
// or a change of tile set, and a single pick, as during play. Offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include "gui/board_panel.h"
#include "records/tally_table.h"

namespace {

using namespace zp::board;

class QuietContext : public BoardContext {
 public:
  int ownNumber() const override { return 1; }
  bool loggedIn() const override { return false; }
  bool host() const override { return false; }
  bool justWatching() const override { return false; }
  void setJustWatching(bool) override {}
  TurnSound turnSound() const override { return TurnSound::Classic; }
  bool postWordsInChat() const override { return false; }
  void send(std::string) override {}
  void playsounds(std::string_view) override {}
  void systemLine(std::string_view) override {}
  void messageBox(std::string_view) override {}
  void loadchecklist() override {}
  void showGameStart() override {}
  zp::records::TallyTable& tally() override { return tally_; }
  zp::records::TallyTable tally_;
};

zp::net::TheBoard someBoard(int turn) {
  zp::net::TheBoard board;
  for (std::size_t i = 0; i < board.codes.size(); ++i)
    board.codes[i] = 1 + static_cast<int>((i * 7 + static_cast<std::size_t>(turn)) % 26);
  return board;
}

void BM_RedrawWholeBoardAndRack(benchmark::State& state) {
  // The screen's density: run with QT_SCALE_FACTOR=2 for a dense screen.
  const qreal dpr = qApp->devicePixelRatio();
  QuietContext context;
  BoardPlay play(context);
  QWidget region;
  region.resize(782, 534);
  BoardPaintBox paint(play, &region);
  RackBox rack(play, &region);
  const TileSet tiles = TileSet::classic(dpr);
  paint.setTiles(&tiles);
  rack.setTiles(&tiles);
  // What the window system then shows: the board and the rack, at the screen's density.
  QPixmap boardShown(paint.size() * dpr), rackShown(rack.size() * dpr);
  boardShown.setDevicePixelRatio(dpr);
  rackShown.setDevicePixelRatio(dpr);
  int turn = 0;
  for (auto _ : state) {
    play.theboard(someBoard(++turn));  // every cell and slot changes
    play.model().showPick(1, {3, 3});
    paint.sync();
    rack.sync();
    paint.render(&boardShown);
    rack.render(&rackShown);
  }
}
BENCHMARK(BM_RedrawWholeBoardAndRack)->Unit(benchmark::kMillisecond);

void BM_OnePickArrives(benchmark::State& state) {
  QuietContext context;
  BoardPlay play(context);
  QWidget region;
  region.resize(782, 534);
  BoardPaintBox paint(play, &region);
  const TileSet tiles = TileSet::classic(qApp->devicePixelRatio());
  paint.setTiles(&tiles);
  play.theboard(someBoard(0));
  paint.sync();
  int k = 0;
  for (auto _ : state) {
    play.selectletter({2, 1 + k % 7, {k % 7, (k / 7) % 7}});
    paint.sync();
    ++k;
  }
}
BENCHMARK(BM_OnePickArrives)->Unit(benchmark::kMicrosecond);

}  // namespace
