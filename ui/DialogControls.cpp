#include "DialogControls.h"

#include "CWorkerDlg.h"

#include <QBoxLayout>
#include <QDialog>
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

CPercentProgressCtrl* MakeProgressBar(QWidget* parent, int id, const DialogUnits& du)
{
    auto* progress = new CPercentProgressCtrl(parent);
    progress->setObjectName(QString::number(id));
    // Its text, two pixels of air above and below, and the one-pixel border.
    progress->setFixedHeight(qMax(du.Y(8), progress->fontMetrics().height() + 6));
    return progress;
}

QSpacerItem* LayOutRunDialog(QDialog* dialog, const DialogUnits& du, int topMarginUnits, QWidget* sourceGroup,
                             QWidget* destGroup, CPercentProgressCtrl* progress, QPushButton* start, QPushButton* close,
                             int gapUnits)
{
    auto* groups = new QHBoxLayout;
    groups->setSpacing(du.X(9));
    groups->addWidget(sourceGroup, 1);
    groups->addWidget(destGroup, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(start);
    buttons->addSpacing(du.X(gapUnits));
    buttons->addWidget(close);
    buttons->addStretch(1);

    auto* top = new QVBoxLayout(dialog);
    top->setContentsMargins(du.X(7), du.Y(topMarginUnits), du.X(7), du.Y(7));
    top->addLayout(groups, 1);
    top->addSpacing(du.Y(18));
    top->addWidget(progress);
    auto* room = new QSpacerItem(0, du.Y(10), QSizePolicy::Minimum, QSizePolicy::Fixed);
    top->addSpacerItem(room);
    top->addLayout(buttons);
    return room;
}

} // namespace zelvo::ui
