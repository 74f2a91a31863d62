// zandupelix-pack as a user meets it: its help, its errors and one packing of each kind.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "tests/app/program_run.h"

namespace zp::app::testing {
namespace {

const QString kPack = QStringLiteral(ZANDUPELIX_PACK);

struct PackCase {
  QStringList args;
  int exitCode;
  QStringList out;  // lines of stdout, in order, or the texts it contains when `exact` is false
  QStringList err;
  bool exact = true;
  QStringList left;  // the folder's files afterwards
};

TEST(PackProgram, HelpErrorsAndResults) {
  const QStringList usageParts = {
      "usage: zandupelix-pack compress --fast|--good|--auto IN OUT", "--fast   LZRW1/KH: quick",
      "--good   LZHUF: slower, usually smaller", "--auto   chosen by the file's size",
      "\"compressed at N%\" is the output's size as a share of the input's"};
  const QStringList input = {"in.txt"};
  const std::vector<PackCase> cases = {
      {{"--help"}, 0, usageParts, {}, false, input},
      {{"-h"}, 0, usageParts, {}, false, input},
      {{"--version"}, 0, {"zandupelix-pack 1.0.15"}, {}, true, input},
      {{}, 2, {}, {"usage: zandupelix-pack"}, false, input},
      {{"compress", "--best", "in.txt", "out.pk"}, 2, {}, {"usage: zandupelix-pack"}, false, input},
      {{"decompress", "in.txt"}, 2, {}, {"usage: zandupelix-pack"}, false, input},
      {{"compress", "--fast", "gone.txt", "out.pk"},
       1,
       {},
       {"Lzrw1 compression : Failed to obtain the size of : gone.txt",
        "zandupelix-pack: cannot read gone.txt: No such file or directory"},
       true,
       input},
      {{"decompress", "gone.pk", "out.txt"},
       1,
       {},
       {"Lzrw1 (de)compression : Failed to open input file : gone.pk",
        "zandupelix-pack: cannot read gone.pk: No such file or directory"},
       true,
       input},
      {{"advise", "."},
       1,
       {},
       {"Lzrw1 advise : can not get the size of : .",
        "zandupelix-pack: cannot read .: Is a directory"},
       true,
       input},
      {{"compress", "--good", "in.txt", "no-folder/out.pk"},
       1,
       {},
       {"Lzrw1 (de)compression : Failed to open output file : no-folder/out.pk",
        "zandupelix-pack: cannot write no-folder/out.pk: No such file or directory"},
       true,
       input},
      {{"compress", "--good", "in.txt", "in.txt"},
       1,
       {},
       {"Lzrw1 (de)compression : Failed to open output file : in.txt",
        "zandupelix-pack: cannot write in.txt: it is the input file"},
       true,
       input},
      {{"compress", "--auto", "in.txt", "out.pk"},
       0,
       {"Lzrw1 recommends GOOD compression :  small file !!",
        "in.txt : Lzrw1 : successfully compressed at 2%"},
       {},
       true,
       {"in.txt", "out.pk"}},
  };

  for (const PackCase& c : cases) {
    const std::string what = c.args.join(' ').toStdString();
    QTemporaryDir dir;
    QFile in(dir.filePath("in.txt"));
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(QByteArray(20000, 'a'));
    in.close();

    const Finished f = runToEnd(kPack, c.args, dir.path());
    EXPECT_EQ(f.exitCode, c.exitCode) << what;
    for (const auto& [got, want] : {std::pair{f.out, c.out}, std::pair{f.err, c.err}}) {
      if (c.exact || want.isEmpty()) {
        EXPECT_EQ(got, want.isEmpty() ? QString() : want.join('\n') + '\n') << what;
      } else {
        for (const QString& text : want)
          EXPECT_TRUE(got.contains(text)) << what << ": lacks " << text.toStdString();
      }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), c.left)
        << what;
  }
}

}  // namespace
}  // namespace zp::app::testing
