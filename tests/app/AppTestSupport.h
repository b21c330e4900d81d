// Shared by the application tests: a fresh program, lock and settings folder per test, every box
// recorded, the menu bar as text, and the dialogs a file or a command opens.
#pragma once

#include "CMainFrame.h"
#include "CSplitterApp.h"
#include "DialogTestSupport.h"
#include "LangFileWriter.h"
#include "LangMenu.h"

#include <QDialog>
#include <QMenuBar>
#include <QSettings>

// "&File: File &Comminute=32771 | --- | E&xit=57665": a popup as the user sees it on opening it,
// sub-popups in braces, "[x]" for a check mark and "(off)" for a disabled item.
inline QString DescribeMenu(QMenu& menu)
{
    emit menu.aboutToShow();
    QStringList items;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator())
            items << "---";
        else if (action->menu())
            items << "{" + DescribeMenu(*action->menu()) + "}";
        else
            items << action->text() + "=" + QString::number(zelvo::lang::CommandId(action)) +
                         (action->isChecked() ? " [x]" : "") + (action->isEnabled() ? "" : " (off)");
    }
    return menu.title() + ": " + items.join(" | ");
}

inline QMenuBar* Bar(CSplitterApp& app)
{
    return qobject_cast<QMenuBar*>(app.MainWnd()->menuWidget());
}

inline QStringList DescribeBar(CSplitterApp& app)
{
    QStringList popups;
    for (QAction* popup : Bar(app)->actions())
        popups << DescribeMenu(*popup->menu());
    return popups;
}

// The item of a command on the bar as it stands (the popups a rebuild replaced are deleted first).
inline QAction* Command(CSplitterApp& app, int id)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QAction* action : Bar(app)->findChildren<QAction*>()) {
        if (zelvo::lang::CommandId(action) == id)
            return action;
    }
    return nullptr;
}

inline QString StoredLanguage()
{
    return QSettings("Quorvex", "Zelvo").value("Settings/Language").toString();
}

// Names every dialog that shows, once its fields are filled ("CMergeDlg /d/a.DAV"), and closes it
// unless told to leave it open.
class DialogWatch final : public QObject
{
public:
    DialogWatch(std::function<void(const QString&)> report, bool close) : m_report(std::move(report)), m_close(close)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (!dialog || event->type() != QEvent::Show)
            return false;
        // A file goes into its field once the dialog shows.
        QMetaObject::invokeMethod(
            dialog,
            [this, dialog] {
                QStringList seen{dialog->metaObject()->className()};
                for (const QLineEdit* edit : dialog->findChildren<QLineEdit*>())
                    seen << edit->text();
                if (!dialog->isModal() || dialog->parentWidget())
                    seen << "not application modal";
                seen.removeAll(QString());
                m_report(seen.join(' '));
                if (m_close)
                    dialog->close();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    std::function<void(const QString&)> m_report;
    bool m_close;
};

class AppFixture
{
public:
    bool SetUp() { return StartDialogTest(m_dir, m_boxes); }

    void TearDown()
    {
        for (auto& app : m_apps)
            app->ExitInstance();
        m_apps.clear();
        ResetSeams();
        m_dir.reset();
    }

    QString Path(const QString& name) const { return m_dir->filePath(name); }
    QString LangPath(const QString& name) const { return Path("Lang/" + name + ".lang"); }

    CSplitterApp& NewApp(std::uint16_t systemLanguageId = 0x0409)
    {
        m_apps.push_back(std::make_unique<CSplitterApp>());
        m_apps.back()->SetProgramFolder(m_dir->path());
        m_apps.back()->SetSystemLanguageId(systemLanguageId);
        m_apps.back()->SetInstanceLockFolder(m_dir->path());
        return *m_apps.back();
    }

    // The dialog that trigger opens, directly or once the event loop runs, closed again.
    static QString Opened(const std::function<void()>& trigger)
    {
        QString seen;
        DialogWatch watch([&](const QString& dialog) { seen = dialog; }, true);
        trigger();
        QCoreApplication::sendPostedEvents();
        return seen;
    }

    BoxRecorder m_boxes;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<CSplitterApp>> m_apps;
};
