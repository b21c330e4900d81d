#include "LangMenu.h"

#include "AppRules.h"
#include "LangText.h"
#include "LanguageTable.h"
#include "StringTable.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace zelvo::app {
using lang::Text;
using lang::ToQString;

QAction* AddCommand(QMenu& menu, const QString& text, int commandId)
{
    QAction* action = menu.addAction(text);
    action->setData(commandId);
    action->setStatusTip(CommandPrompt(commandId));
    action->setCheckable(core::LanguageOfCommand(static_cast<unsigned>(commandId)).has_value());
    return action;
}

int CommandId(const QAction* action)
{
    if (!action || action->isSeparator() || action->menu())
        return 0;
    return action->data().toInt();
}

QString CommandPrompt(int commandId)
{
    const QString prompt = QString::fromStdString(LoadString(commandId));
    return prompt.section(QLatin1Char('\n'), 0, 0);
}

void RebuildMenuBar(QMenuBar& bar, CIniFile& file)
{
    // The old popups may hold the item whose command is running this rebuild, so they go once
    // control is back in the event loop.
    const auto oldActions = bar.actions();
    bar.clear();
    for (QAction* action : oldActions) {
        if (QMenu* popup = action->menu())
            popup->deleteLater();
    }

    // Look-ups in the order of the items, each popup's title after its items.
    auto* filePopup = new QMenu(&bar);
    AddCommand(*filePopup, Text(file, u"File Menu", u"1001"), ID_FILE_COMMINUTE);
    AddCommand(*filePopup, Text(file, u"File Menu", u"1002"), ID_FILE_MERGE);
    filePopup->addSeparator();
    AddCommand(*filePopup, Text(file, u"File Menu", u"1003"), ID_APP_EXIT);
    filePopup->setTitle(Text(file, u"File Menu", u"1000"));

    auto* settingPopup = new QMenu(&bar);
    auto* langPopup = new QMenu(settingPopup);
    for (const auto& entry : theLanguageTable)
        AddCommand(*langPopup, Text(file, u"Lang Menu", ToQString(entry.menuKey)), static_cast<int>(entry.commandId));
    langPopup->setTitle(Text(file, u"Setting Menu", u"1001"));
    settingPopup->addMenu(langPopup);
    settingPopup->setTitle(Text(file, u"Setting Menu", u"1000"));

    auto* helpPopup = new QMenu(&bar);
    AddCommand(*helpPopup, Text(file, u"Help Menu", u"1001"), ID_APP_ABOUT);
    helpPopup->setTitle(Text(file, u"Help Menu", u"1000"));

    bar.addMenu(filePopup);
    bar.addMenu(settingPopup);
    bar.addMenu(helpPopup);
}

} // namespace zelvo::app
