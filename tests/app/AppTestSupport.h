// Shared by the application tests: a fresh program folder, settings and lock folder per test,
// captured message boxes, and a readable picture of the menu bar.
#pragma once

#include "CMainFrame.h"
#include "CSplitterApp.h"
#include "LangMenu.h"
#include "MessageBox.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class AppFixture
{
public:
    void SetUp()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ConfigFolder());
        m_messages.clear();
        zelvo::ui::SetMessageBoxAnswerer([this](const QString& text, zelvo::ui::MsgButtons, zelvo::ui::MsgIcon icon) {
            m_messages << text;
            m_icons << icon;
            return zelvo::ui::MsgAnswer::Ok;
        });
    }

    void TearDown()
    {
        for (auto& app : m_apps)
            app->ExitInstance();
        m_apps.clear();
        zelvo::ui::SetMessageBoxAnswerer({});
        m_dir.reset();
    }

    // A path with a blank and CJK characters: an ordinary install folder.
    QString ProgramFolder() const { return m_dir->filePath(QStringLiteral("Program Files 文件")); }
    QString LangPath(const QString& name) const { return ProgramFolder() + "/Lang/" + name + ".lang"; }
    QString LockFolder() const { return m_dir->path(); }
    QString ConfigFolder() const { return m_dir->filePath(QStringLiteral("config")); }
    QString SettingsFile() const { return ConfigFolder() + "/Quorvex/Zelvo.conf"; }

    CSplitterApp& NewApp(std::uint16_t systemLanguageId = 0x0409)
    {
        auto app = std::make_unique<CSplitterApp>();
        app->SetProgramFolder(ProgramFolder());
        app->SetSystemLanguageId(systemLanguageId);
        app->SetInstanceLockFolder(LockFolder());
        m_apps.push_back(std::move(app));
        return *m_apps.back();
    }

    static void StoreLanguage(const QString& name)
    {
        QSettings settings(QStringLiteral("Quorvex"), QStringLiteral("Zelvo"));
        settings.setValue(QStringLiteral("Settings/Language"), name);
    }
    static QVariant StoredLanguage()
    {
        QSettings settings(QStringLiteral("Quorvex"), QStringLiteral("Zelvo"));
        return settings.value(QStringLiteral("Settings/Language"));
    }

    // "&File: File &Comminute=32771 | File &Merge=32772 | --- | E&xit=57665", one line per popup,
    // sub-popups in braces.
    static QString DescribeMenu(const QMenu& menu)
    {
        QStringList items;
        const auto actions = menu.actions();
        for (const QAction* action : actions) {
            if (action->isSeparator())
                items << QStringLiteral("---");
            else if (action->menu())
                items << QStringLiteral("{%1}").arg(DescribeMenu(*action->menu()));
            else
                items << QStringLiteral("%1=%2").arg(action->text()).arg(zelvo::lang::CommandId(action));
        }
        return menu.title() + QStringLiteral(": ") + items.join(QStringLiteral(" | "));
    }
    static QStringList DescribeBar(const QMenuBar* bar)
    {
        QStringList popups;
        const auto actions = bar->actions();
        for (const QAction* action : actions)
            popups << (action->menu() ? DescribeMenu(*action->menu()) : action->text());
        return popups;
    }
    static QMenuBar* Bar(CSplitterApp& app) { return Bar(app.MainWnd()); }
    static QMenuBar* Bar(CMainFrame* frame) { return qobject_cast<QMenuBar*>(frame->menuWidget()); }
    // The item of a command on the bar as it stands now (popups replaced by a rebuild are ignored).
    static QAction* FindCommand(const QList<QAction*>& actions, int id)
    {
        for (QAction* action : actions) {
            if (action->menu()) {
                if (QAction* found = FindCommand(action->menu()->actions(), id))
                    return found;
            } else if (zelvo::lang::CommandId(action) == id) {
                return action;
            }
        }
        return nullptr;
    }
    static QAction* FindCommand(QMenuBar* bar, int id) { return FindCommand(bar->actions(), id); }

    QStringList m_messages;
    QList<zelvo::ui::MsgIcon> m_icons;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<CSplitterApp>> m_apps;
};
