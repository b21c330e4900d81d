// What the Comminute and Merge dialogs have in common as widgets: the bar and the status line
// under it, the message boxes, the pickers and drops of their "..." buttons, and the hand-over of
// the worker's wake-ups to the GUI thread. Each dialog builds its controls and its session
// (core::ComminuteSession, core::MergeSession) and switches its own inputs (EnableInputs).
#pragma once

#include "CPercentProgressCtrl.h"
#include "DialogUnits.h"
#include "LangText.h"
#include "PathText.h"
#include "RunSession.h"

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;

namespace zelvo::ui {

// What tells the two dialogs apart here: their language texts and where their "..." buttons
// remember their folders ("Comminute" or "Merge"). Their rules are their core::RunSession's.
struct RunTraits
{
    lang::LangDialog langDialog;
    const char* name;
};

// The front end of a core::RunSession: it shows what the session decides and forwards the user's
// presses, the worker's wake-ups and the status line's clock to it.
class CWorkerDlg : public QDialog, protected core::RunPort
{
    Q_OBJECT

public:
    ~CWorkerDlg() override;
    Q_DISABLE_COPY_MOVE(CWorkerDlg)

    // OnCancel: the Close button, Esc and (through QDialog's closeEvent) the close box.
    void reject() override;
    void done(int result) override;

protected:
    CWorkerDlg(const RunTraits& traits, lang::LanguageTexts language, QWidget* parent);

    // Called once the derived dialog has built its controls and its session: the bar starts without
    // its text, the language texts replace the template's (unless no language file was loaded),
    // every field is named after the label that is its buddy, and the run's status line goes under
    // the bar, in the room held by the spacer statusRoom.
    void InitRunDialog(std::unique_ptr<core::RunSession> session, CPercentProgressCtrl* progress,
                       QSpacerItem* statusRoom);

    // The "..." buttons: the file-open dialog and the folder chooser, each opening where it was
    // last used; an empty text when cancelled.
    QString BrowseSourceFile(const QString& filter);
    QString BrowseDestFolder();
    // A local file (a folder when folder is set) dropped on field is handed to choose, as if it
    // had been chosen with button, and only while button can be pressed.
    void AcceptDrops(QLineEdit* field, QPushButton* button, bool folder, std::function<void(const QString&)> choose);

    // text("Run Dialogs", key) of the dialog's language, or builtIn.
    QString RunText(const char16_t* key, const char* builtIn);

    // The control of a field the session names.
    virtual QWidget* FieldControl(core::Field field) const = 0;

    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // core::RunPort
    void Show(const std::string& text, core::BoxIcon icon) override;
    bool Ask(const std::string& question, core::AskDefault byDefault) override;
    void Notice(const std::string& text) override;
    void Focus(core::Field field) override;
    void SetText(core::Field field, const std::string& text) override;
    void SetBar(int upper, int position, bool showPercent) override;
    void SetBarPos(int position) override;
    void SetStatus(const std::string& text) override;
    void EndDialog(bool ok) override;
    int64_t NowMs() override;
    void SetTicking(bool on) override;
    void Wake() override;

    // The dialog, or a box or picker it opened, has the keyboard.
    bool InForeground() const;

    const RunTraits m_traits;
    lang::LanguageTexts m_language;
    std::unique_ptr<core::RunSession> m_session;
    CPercentProgressCtrl* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QTimer m_tick;
};

} // namespace zelvo::ui
