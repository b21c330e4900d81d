// Shared by the widget and application tests: every message box and desktop notice recorded and
// answered instead of shown, a gate that holds a worker at a chosen block, and one reset of every
// test seam of the widget layer.
#pragma once

#include "Beep.h"
#include "CFolderDialog.h"
#include "CWorkerDlg.h" // with the core's run session
#include "DesktopNotice.h"
#include "FileDialogs.h"
#include "MessageBox.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QStringList>
#include <atomic>

// Records every box and answers it: questions with questionAnswer, the rest with OK. Desktop
// notices are recorded as "summary: body", never sent.
struct BoxRecorder
{
    QStringList texts, notices;
    QList<zelvo::ui::MsgIcon> icons;
    zelvo::ui::MsgAnswer questionAnswer = zelvo::ui::MsgAnswer::Yes;

    void Install()
    {
        using namespace zelvo::ui;
        SetDesktopNoticeSender(
            [this](const QString& summary, const QString& body) { notices << summary + QStringLiteral(": ") + body; });
        SetMessageBoxAnswerer([this](const QString& text, MsgButtons buttons, MsgIcon icon) {
            texts << text;
            icons << icon;
            return buttons == MsgButtons::YesNo ? questionAnswer : MsgAnswer::Ok;
        });
    }
};

// Holds the worker inside its notification of block `block` until Release(), so its state stays
// fixed for as long as a test needs. The hook shares the gate, so it outlives any worker it holds;
// it opens when the test's handle goes, so that a failed check leaves no worker stuck.
struct WorkerGate
{
    std::atomic<bool> open{false}, reached{false};

    static std::shared_ptr<WorkerGate> HoldAt(uint32_t progressMessage, uint64_t block)
    {
        auto gate = std::make_shared<WorkerGate>();
        zelvo::core::SetPostHook([gate, progressMessage, block](uint32_t message, uint64_t wParam) {
            if (message != progressMessage || wParam != block)
                return;
            gate->reached = true;
            gate->open.wait(false);
        });
        return std::shared_ptr<WorkerGate>(gate.get(), [gate](WorkerGate*) { gate->Release(); });
    }
    void Release()
    {
        open = true;
        open.notify_all();
    }
};

// Every Set…Answerer/Hook/Seam/Sender/Beeper of ui/ and core/ back to the real thing: call it in each cleanup.
inline void ResetTestSeams()
{
    zelvo::ui::SetMessageBoxAnswerer({});
    zelvo::ui::SetOpenFileAnswerer({});
    zelvo::ui::SetFolderDialogAnswerer({});
    zelvo::core::SetPostHook({});
    zelvo::core::SetWorkerSeam({});
    zelvo::ui::SetDesktopNoticeSender({});
    zelvo::ui::SetBeeper({});
}

// Drops the files on target as a file manager does; true when it takes them.
inline bool DropFiles(QWidget* target, const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    return enter.isAccepted() && QCoreApplication::sendEvent(target, &drop) && drop.isAccepted();
}
