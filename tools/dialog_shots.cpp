// Grabs the Comminute and Merge dialogs before, during and after a run in each of the four
// languages, for a look at the layout (run it under xvfb-run). Not a test.
//
//   dialog_shots OUTPUT_FOLDER
#include "CComminuteDlg.h"
#include "CFolderDialog.h"
#include "CMergeDlg.h"
#include "FileDialogs.h"
#include "LangText.h"
#include "LanguageTable.h"
#include "MessageBox.h"
#include "ProgressPump.h"
#include "Workers.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <condition_variable>
#include <mutex>

using namespace zelvo::ui;

namespace {

int g_language = zelvo::lang::kNoLanguage;
CIniFile g_langFile;

struct Gate
{
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
};

void Shoot(QDialog& dlg, const QString& out, const QString& name)
{
    QApplication::processEvents();
    dlg.grab().save(out + "/" + name + ".png");
}

// Fills the dialog, starts a run held at block 40, grabs it, cancels, and grabs it ready again.
void Run(QDialog& dlg, uint32_t progressMessage, const QString& file, const QString& folder, const QString& out,
         const QString& tag)
{
    SetOpenFileAnswerer([file](const QString&) { return file; });
    SetFolderDialogAnswerer([folder](const QString&, const QString&) { return folder; });
    dlg.show();
    if (!QTest::qWaitForWindowExposed(&dlg))
        return;
    dlg.findChild<QPushButton*>("1001")->click();
    dlg.findChild<QPushButton*>("1007")->click();
    if (auto* size = dlg.findChild<QLineEdit*>("1002"))
        size->setText("1");
    Shoot(dlg, out, tag + "-1-before");

    auto gate = std::make_shared<Gate>();
    zelvo::core::SetPostHook([gate, progressMessage](uint32_t message, uint64_t block) {
        if (message == progressMessage && block == 40) {
            std::unique_lock lock(gate->mutex);
            gate->cv.wait(lock, [&] { return gate->open; });
        }
    });
    SetMessageBoxAnswerer([](const QString&, MsgButtons, MsgIcon) { return MsgAnswer::Yes; });
    dlg.findChild<QPushButton*>("1")->click();
    QTest::qWait(300);
    Shoot(dlg, out, tag + "-2-during");
    dlg.reject(); // Yes to the question
    {
        const std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->cv.notify_all();
    QTest::qWait(300);
    Shoot(dlg, out, tag + "-3-after-cancel");
    zelvo::core::SetPostHook({});
    SetMessageBoxAnswerer({});
    dlg.reject();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QTemporaryDir dir(QDir::tempPath() + "/zelvo shots 分割-XXXXXX");
    const QString source = dir.path() + "/报告 report.doc";
    QFile file(source);
    file.open(QIODevice::WriteOnly);
    file.resize(3 * 1048576 + 5000);
    file.close();
    QDir().mkpath(dir.path() + "/chips");
    QDir().mkpath(dir.path() + "/split"); // the cancelled splits go here, the merge's set stays whole
    QDir().mkpath(dir.path() + "/joined");
    ComminuteJob.sourcePath = zelvo::ToPathString(source);
    ComminuteJob.chipBasePath = zelvo::ToPathString(dir.path() + "/chips/报告 report.doc");
    ComminuteJob.blocksPerChip = 16;
    ComminuteJob.chipCount = 4;
    ComminuteWorker([](uint32_t, uint64_t) {});

    for (int language = 0; language < 4; ++language) {
        const QString name = QString::fromStdU16String(std::u16string(theLanguageTable[language].name));
        g_langFile = CIniFile();
        g_langFile.SetPath(
            (QCoreApplication::applicationDirPath() + "/../bin/Lang/" + name + ".lang").toStdU16String());
        g_langFile.Load();
        g_language = language;
        {
            CComminuteDlg dlg({g_language, g_langFile});
            Run(dlg, WM_COMMINUTE_PROGRESS, source, dir.path() + "/split", out, "comminute-" + name);
        }
        {
            CMergeDlg dlg({g_language, g_langFile});
            Run(dlg, WM_MERGE_PROGRESS, dir.path() + "/chips/报告 report.doc.DAV", dir.path() + "/joined", out,
                "merge-" + name);
        }
    }
    return 0;
}
