#include "LangText.h"

#include "LanguageTable.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QVariant>
#include <QWidget>
#include <string_view>

namespace zelvo::lang {
namespace {

QWidget* FindControl(QWidget& dialog, int controlId)
{
    const QString name = QString::number(controlId);
    const auto children = dialog.findChildren<QWidget*>();
    for (QWidget* child : children) {
        const QVariant id = child->property("id");
        if (child->objectName() == name || (id.isValid() && id.toInt() == controlId))
            return child;
    }
    return nullptr;
}

void SetControlText(QWidget& control, const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(&control))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(&control))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(&control))
        group->setTitle(text);
}

} // namespace

QString ToQString(std::u16string_view text)
{
    return QStringView(text.data(), static_cast<qsizetype>(text.size())).toString();
}

QString Text(CIniFile& file, QStringView section, QStringView key)
{
    const std::u16string value =
        file.GetString(std::u16string(section.utf16(), section.size()), std::u16string(key.utf16(), key.size()));
    return QString::fromStdU16String(value);
}

std::optional<DialogTexts> DialogTextsFor(LangDialog dialog, CIniFile& file, int language)
{
    if (language == kNoLanguage)
        return std::nullopt;
    const DialogKeySet set = DialogKeysOf(dialog);
    const QString section = ToQString(set.section);
    DialogTexts texts;
    for (std::size_t i = 0; i < set.keys.size(); ++i)
        texts[i] = {set.keys[i].controlId, Text(file, section, ToQString(set.keys[i].key))};
    return texts;
}

void ApplyDialogTexts(QWidget& dialogWidget, LangDialog dialog, LanguageTexts& texts)
{
    const auto items = DialogTextsFor(dialog, texts.file, texts.language);
    if (!items)
        return;
    for (const DialogText& item : *items) {
        if (item.controlId == 0) {
            dialogWidget.setWindowTitle(item.text);
        } else if (QWidget* control = FindControl(dialogWidget, item.controlId)) {
            SetControlText(*control, item.text);
        }
    }
}

QString DoubleClickMessage(LangDialog dialog, CIniFile& file)
{
    return QString::fromStdU16String(DoubleClickText(dialog, file));
}

} // namespace zelvo::lang
