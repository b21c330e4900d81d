// Builders for the controls of the Comminute and Merge dialog templates. Every control carries
// its template id as objectName, which is how the language texts and the tests find it.
#pragma once

#include <QString>

class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QWidget;

namespace zelvo::ui {

class CPercentProgressCtrl;
class DialogUnits;

QLabel* MakeLabel(QWidget* parent, int id, const QString& text);
QGroupBox* MakeGroup(QWidget* parent, int id, const QString& title);
// A read-only field: it takes the focus and its text can be selected and copied, not typed over.
QLineEdit* MakeReadOnlyField(QWidget* parent, int id, int minWidth);
// A field that takes digits only.
QLineEdit* MakeDigitsField(QWidget* parent, int id, int minWidth);
// The small "..." button beside a path field, with an accessible name saying what it chooses.
QPushButton* MakeBrowseButton(QWidget* parent, int id, const DialogUnits& du);
// The start (id 1, the default button) and Close (id 2) buttons.
QPushButton* MakePushButton(QWidget* parent, int id, const QString& text, const DialogUnits& du);
// The percent bar under the two groups, at least as tall as its text.
CPercentProgressCtrl* MakeProgressBar(QWidget* parent, int id, const DialogUnits& du);

// The frame both templates share: the source and destination groups side by side, the bar below
// them, and the start and Close buttons centred under it, gapUnits apart. Returns the room between
// the bar and the buttons.
QSpacerItem* LayOutRunDialog(QDialog* dialog, const DialogUnits& du, int topMarginUnits, QWidget* sourceGroup,
                             QWidget* destGroup, CPercentProgressCtrl* progress, QPushButton* start, QPushButton* close,
                             int gapUnits);

} // namespace zelvo::ui
