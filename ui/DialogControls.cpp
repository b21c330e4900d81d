#include "DialogControls.h"

#include "CWorkerDlg.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace zelvo::ui {

QLabel* MakeLabel(QWidget* parent, int id, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::number(id));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QGroupBox* MakeGroup(QWidget* parent, int id, const QString& title)
{
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QString::number(id));
    return group;
}

QLineEdit* MakeReadOnlyField(QWidget* parent, int id, int minWidth)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::number(id));
    field->setReadOnly(true);
    field->setMinimumWidth(minWidth);
    return field;
}

QLineEdit* MakeDigitsField(QWidget* parent, int id, int minWidth)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::number(id));
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    field->setMinimumWidth(minWidth);
    return field;
}

QPushButton* MakeBrowseButton(QWidget* parent, int id, const DialogUnits& du)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(QString::number(id));
    // Wider than the template's 10 units so the three dots fit every style's button margins.
    button->setFixedWidth(qMax(du.X(14), button->fontMetrics().horizontalAdvance(button->text()) + du.X(6)));
    return button;
}

QPushButton* MakePushButton(QWidget* parent, int id, const QString& text, const DialogUnits& du)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::number(id));
    button->setMinimumSize(du.X(50), du.Y(14));
    button->setDefault(id == 1);
    return button;
}

} // namespace zelvo::ui
