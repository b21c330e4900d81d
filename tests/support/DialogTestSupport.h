// Shared by the Comminute and Merge dialog tests: a message-box and notice recorder, a gate that
// holds a worker at a chosen block, the file and folder dialog answers, drops, and test files.
#pragma once

#include "CFolderDialog.h"
#include "CWorkerDlg.h"
#include "DesktopNotice.h"
#include "FileDialogs.h"
#include "LangText.h"
#include "LanguageTable.h"
#include "MessageBox.h"
#include "StringTable.h"
#include "WorkerChannel.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <vector>

using zelvo::test::FileSizeLimit;
using zelvo::ui::MsgAnswer;
using zelvo::ui::MsgButtons;
using zelvo::ui::MsgIcon;

struct ShownBox
{
    QString text;
    MsgButtons buttons;
    MsgIcon icon;
};

// Records every box and answers it: Yes for questions unless told otherwise. onBox runs while
// the "box is open", so a test can let things happen meanwhile. Desktop notices are recorded as
// "summary: body", never sent.
class BoxRecorder
{
public:
    std::vector<ShownBox> boxes;
    QStringList notices;
    MsgAnswer questionAnswer = MsgAnswer::Yes;
    std::function<void(const ShownBox&)> onBox;

    void Install()
    {
        zelvo::ui::SetDesktopNoticeSender(
            [this](const QString& summary, const QString& body) { notices << summary + ": " + body; });
        zelvo::ui::SetMessageBoxAnswerer([this](const QString& text, MsgButtons buttons, MsgIcon icon) {
            boxes.push_back({text, buttons, icon});
            if (onBox) {
                const auto handler = onBox; // may be replaced while it runs
                handler(boxes.back());
            }
            return buttons == MsgButtons::YesNo ? questionAnswer : MsgAnswer::Ok;
        });
    }
    QStringList Texts() const
    {
        QStringList texts;
        for (const ShownBox& box : boxes)
            texts << box.text;
        return texts;
    }
    bool Shown(const QString& text) const { return Texts().contains(text); }
};

// Holds the worker inside its notification of block `block` until Release(); the worker's
// state is then fixed for as long as the test needs. Shared with the hook, so it outlives any
// worker that it holds.
class WorkerGate
{
public:
    static std::shared_ptr<WorkerGate> HoldAt(uint32_t progressMessage, uint64_t block)
    {
        auto gate = std::make_shared<WorkerGate>();
        zelvo::ui::SetWorkerPostHook([gate, progressMessage, block](uint32_t message, uint64_t wParam) {
            if (message == progressMessage && wParam == block)
                gate->Wait();
        });
        return gate;
    }
    void Release()
    {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    bool Reached()
    {
        const std::lock_guard lock(m_mutex);
        return m_reached;
    }

private:
    void Wait()
    {
        std::unique_lock lock(m_mutex);
        m_reached = true;
        m_cv.wait(lock, [this] { return m_open; });
    }
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
    bool m_reached = false;
};

inline QByteArray PatternBytes(qint64 size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u + static_cast<quint32>(seed);
    for (qint64 i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return bytes;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A file of `size` bytes without writing them (a hole reads as zeros).
inline bool MakeSparse(const QString& path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(size);
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename T = QWidget> T* Control(QWidget& dialog, int id)
{
    return dialog.findChild<T*>(QString::number(id));
}

inline void Click(QWidget& dialog, int id)
{
    QPushButton* button = Control<QPushButton>(dialog, id);
    QVERIFY(button);
    QVERIFY(button->isEnabled());
    button->click();
}

// The filter the last file-open dialog was given.
inline QString& LastOpenFilter()
{
    static QString filter;
    return filter;
}

// Puts path into a read-only field the way a user does: through its browse button. An empty
// path is a cancelled file-open dialog.
inline void BrowseFile(QWidget& dialog, int buttonId, const QString& path)
{
    zelvo::ui::SetOpenFileAnswerer([path](const QString& filter) {
        LastOpenFilter() = filter;
        return path;
    });
    Click(dialog, buttonId);
    zelvo::ui::SetOpenFileAnswerer({});
}

// Drops files or folders on a widget as a file manager does, offering a copy or a move; true when
// the widget took them as a copy.
inline bool DropOn(QWidget* target, const QStringList& paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

inline void BrowseFolder(QWidget& dialog, const QString& path)
{
    zelvo::ui::SetFolderDialogAnswerer([path](const QString&, const QString&) { return path; });
    Click(dialog, 1007);
    zelvo::ui::SetFolderDialogAnswerer({});
}

inline void ResetSeams()
{
    zelvo::ui::SetMessageBoxAnswerer({});
    zelvo::ui::SetOpenFileAnswerer({});
    zelvo::ui::SetFolderDialogAnswerer({});
    zelvo::ui::SetWorkerPostHook({});
    zelvo::ui::SetRunStartHook({});
    zelvo::ui::SetDesktopNoticeSender({});
}

// A folder name with a space and CJK characters, as users have them.
inline QString WideFolderTemplate()
{
    return QDir::tempPath() + QStringLiteral("/zelvo dlg 分割 ファイル-XXXXXX");
}

// The language state the dialogs read; each test starts without a language file.
inline int g_language = zelvo::lang::kNoLanguage;
inline CIniFile g_langFile;

inline QString Text(int id)
{
    return QString::fromStdString(zelvo::LoadString(id));
}

// What each dialog test starts from: a fresh folder (with "out" in it) named as users name theirs,
// fresh settings in it, every box recorded instead of shown, and no language file loaded.
inline bool StartDialogTest(std::unique_ptr<QTemporaryDir>& dir, BoxRecorder& boxes)
{
    dir = std::make_unique<QTemporaryDir>(WideFolderTemplate());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir->filePath(QStringLiteral("settings")));
    boxes = BoxRecorder();
    boxes.Install();
    g_language = zelvo::lang::kNoLanguage;
    g_langFile = CIniFile();
    return dir->isValid() && QDir(dir->path()).mkpath(QStringLiteral("out"));
}

// The ids of the first `count` controls that Tab visits from the start button (id 1).
inline QStringList TabChain(QWidget& dialog, int count)
{
    QStringList visited;
    QWidget* w = Control(dialog, 1);
    for (int i = 0; i < count; ++i) {
        visited << w->objectName();
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || !w->isVisible())
            w = w->nextInFocusChain();
    }
    return visited;
}
