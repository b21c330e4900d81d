#include "DialogControls.h"

#include "CWorkerDlg.h"

#include <QAccessibleWidget>
#include <QBoxLayout>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace zelvo::ui {
namespace {

// Qt's own interface of a line edit calls every one "editable", read-only or not, and a screen
// reader then offers to type into a path field that only its "..." button fills. This one says
// read-only, keeps the text readable, selectable and copyable, and has no editing interface.
class ReadOnlyFieldAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ReadOnlyFieldAccessible(QLineEdit* field) : QAccessibleWidget(field, QAccessible::EditableText) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = Field()->isReadOnly();
        state.editable = !state.readOnly;
        state.selectableText = true;
        return state;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? Field()->text() : QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                               : QAccessibleWidget::interface_cast(t);
    }

    void selection(int index, int* start, int* end) const override
    {
        const bool any = index == 0 && Field()->hasSelectedText();
        *start = any ? Field()->selectionStart() : 0;
        *end = any ? Field()->selectionEnd() : 0;
    }
    int selectionCount() const override { return Field()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { Field()->deselect(); }
    void setSelection(int, int start, int end) override { Field()->setSelection(start, end - start); }
    int cursorPosition() const override { return Field()->cursorPosition(); }
    void setCursorPosition(int position) override { Field()->setCursorPosition(position); }
    QString text(int start, int end) const override { return Field()->text().mid(start, end - start); }
    int characterCount() const override { return int(Field()->text().size()); }
    QRect characterRect(int offset) const override
    {
        // Measured from the cursor, which stands in the middle of its rectangle and already holds
        // the field's scrolling.
        const QString text = Field()->text();
        const QFontMetrics metrics = Field()->fontMetrics();
        const QRect cursor = Field()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int x = cursor.x() + cursor.width() / 2 + metrics.horizontalAdvance(text.left(offset)) -
                      metrics.horizontalAdvance(text.left(Field()->cursorPosition()));
        const QRect local(x, cursor.y(), metrics.horizontalAdvance(text.mid(offset, 1)), cursor.height());
        return QRect(Field()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return Field()->cursorPositionAt(Field()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override
    {
        Field()->setCursorPosition(end);
        Field()->setCursorPosition(start);
    }
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QLineEdit* Field() const { return static_cast<QLineEdit*>(widget()); }
};

QAccessibleInterface* ReadOnlyFieldFactory(const QString& className, QObject* object)
{
    auto* field = qobject_cast<QLineEdit*>(object);
    if (className != QLatin1String("QLineEdit") || !field || !field->isReadOnly())
        return nullptr;
    return new ReadOnlyFieldAccessible(field);
}

} // namespace

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
    static const bool factory = (QAccessible::installFactory(ReadOnlyFieldFactory), true);
    Q_UNUSED(factory);
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
