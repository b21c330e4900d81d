// A 1 GiB split and merge through the Comminute and Merge dialogs, offscreen, against
// `zelvo-cli split` / `zelvo-cli merge` on the same files in the same run. Meanwhile a 10 ms timer
// on the GUI thread measures how long the thread ever went without handling it.
//
//   dialog_bench [WORK_FOLDER] [ROUNDS]   (default: the folder of this program, 3 rounds)
#include "CComminuteDlg.h"
#include "CFolderDialog.h"
#include "CMergeDlg.h"
#include "FileDialogs.h"
#include "MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace zelvo::ui;

namespace {

constexpr qint64 kSourceSize = 1024LL * 1024 * 1024;
constexpr int kChipMb = 16;

struct Run
{
    double seconds = 0;
    double worstGapMs = 0;
};

bool MakeSource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = 12345;
    for (qint64 written = 0; written < kSourceSize; written += block.size()) {
        for (char& c : block) {
            x = x * 1664525u + 1013904223u;
            c = static_cast<char>(x >> 24);
        }
        if (file.write(block) != block.size())
            return false;
    }
    return file.flush();
}

void EmptyFolder(const QString& path)
{
    QDir(path).removeRecursively();
    QDir().mkpath(path);
}

double RunCli(const QString& cli, const QStringList& args)
{
    QElapsedTimer timer;
    timer.start();
    const int code = QProcess::execute(cli, args);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (code != 0)
        std::fprintf(stderr, "zelvo-cli %s exited with %d\n", qPrintable(args.join(' ')), code);
    return seconds;
}

// Shows the dialog, fills it through its browse buttons, presses the start button and runs the
// event loop until the dialog ends, timing from the press to the end.
Run RunDialog(QDialog& dlg, const QString& chosenFile, const QString& size, const QString& folder)
{
    SetOpenFileAnswerer([chosenFile](const QString&) { return chosenFile; });
    SetFolderDialogAnswerer([folder](const QString&, const QString&) { return folder; });
    QString lastBox;
    SetMessageBoxAnswerer([&lastBox](const QString& text, MsgButtons, MsgIcon) {
        lastBox = text;
        return MsgAnswer::Ok;
    });
    dlg.show();
    QApplication::processEvents();
    dlg.findChild<QPushButton*>(QStringLiteral("1001"))->click();
    dlg.findChild<QPushButton*>(QStringLiteral("1007"))->click();
    if (auto* sizeField = dlg.findChild<QLineEdit*>(QStringLiteral("1002")))
        sizeField->setText(size);

    QEventLoop loop;
    QObject::connect(&dlg, &QDialog::finished, &loop, &QEventLoop::quit);
    QElapsedTimer sinceTick;
    double worstGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        worstGap = std::max(worstGap, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });

    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    ticker.start();
    dlg.findChild<QPushButton*>(QStringLiteral("1"))->click();
    if (dlg.isVisible())
        loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    ticker.stop();
    worstGap = std::max(worstGap, sinceTick.nsecsElapsed() / 1e6);
    std::printf("    dialog said: %s\n", qPrintable(lastBox));
    SetOpenFileAnswerer({});
    SetFolderDialogAnswerer({});
    SetMessageBoxAnswerer({});
    return {seconds, worstGap};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString work = (argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath()) +
                         QStringLiteral("/dialog bench 分割");
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/zelvo-cli");
    EmptyFolder(work);
    const QString source = work + QStringLiteral("/source.bin");
    const QString chips = work + QStringLiteral("/chips");
    const QString joined = work + QStringLiteral("/joined");
    if (!MakeSource(source)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }

    std::vector<double> cliSplit, dlgSplit, cliMerge, dlgMerge;
    double worstSplitGap = 0, worstMergeGap = 0;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d\n", round);
        EmptyFolder(chips);
        cliSplit.push_back(RunCli(cli, {"split", source, chips, "--size", QString::number(kChipMb), "--quiet"}));
        EmptyFolder(chips);
        {
            CComminuteDlg dlg;
            const Run run = RunDialog(dlg, source, QString::number(kChipMb), chips);
            dlgSplit.push_back(run.seconds);
            worstSplitGap = std::max(worstSplitGap, run.worstGapMs);
        }
        EmptyFolder(joined);
        cliMerge.push_back(RunCli(cli, {"merge", chips + "/source.bin.DAV", joined, "--quiet"}));
        EmptyFolder(joined);
        {
            CMergeDlg dlg;
            const Run run = RunDialog(dlg, chips + "/source.bin.DAV", QString(), joined);
            dlgMerge.push_back(run.seconds);
            worstMergeGap = std::max(worstMergeGap, run.worstGapMs);
        }
        std::printf("  split: cli %.3f s, dialog %.3f s; merge: cli %.3f s, dialog %.3f s\n", cliSplit.back(),
                    dlgSplit.back(), cliMerge.back(), dlgMerge.back());
    }
    const bool same = QFile(joined + "/source.bin").size() == kSourceSize;
    QDir(work).removeRecursively();

    const double ms = Median(cliSplit), ds = Median(dlgSplit), mm = Median(cliMerge), dm = Median(dlgMerge);
    std::printf("dialog_bench: 1 GiB, %d MB chips, %d rounds (medians)\n", kChipMb, rounds);
    std::printf("  split  cli %.3f s  dialog %.3f s  ratio %.3f  worst GUI gap %.1f ms\n", ms, ds, ds / ms,
                worstSplitGap);
    std::printf("  merge  cli %.3f s  dialog %.3f s  ratio %.3f  worst GUI gap %.1f ms\n", mm, dm, dm / mm,
                worstMergeGap);
    const auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    std::printf("  fastest runs: split cli %.3f s dialog %.3f s (ratio %.3f); merge cli %.3f s dialog %.3f s "
                "(ratio %.3f)\n",
                best(cliSplit), best(dlgSplit), best(dlgSplit) / best(cliSplit), best(cliMerge), best(dlgMerge),
                best(dlgMerge) / best(cliMerge));
    std::printf("  rebuilt file has the source's length: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
