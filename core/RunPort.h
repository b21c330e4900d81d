// What a run dialog's front end does for the core: the only calls a run session makes into a
// window. The Qt dialogs and the Win32 dialog procedures each implement it in a few lines; the
// tests implement it with a log. Every call comes on the GUI thread, except Wake (see there).
#pragma once

#include <cstdint>
#include <string>

namespace zelvo::core {

// The inputs a session names: the keyboard focus and the texts it sets go to one of these.
enum class Field {
    Source, // Comminute: the source file (1000); Merge: the header chip (1011)
    Size,   // Comminute: the chip size (1002)
    Count,  // Comminute: the chip count (1005); Merge: the chip total (1012)
    Dest,   // the destination folder (1006)
    Name,   // Merge: the rebuilt file's name (1009)
};

enum class BoxIcon { Exclamation, Stop, Question, Information };

// Which answer Enter gives: a question whose Yes destroys something defaults to No.
enum class AskDefault { Yes, No };

class RunPort
{
public:
    virtual ~RunPort() = default;

    // A modal message box (caption "Zelvo", an OK button) and a modal Yes/No question; true for
    // Yes. Texts are UTF-8. The session may be called again from inside either (a done that
    // arrives while the box is open).
    virtual void Show(const std::string& text, BoxIcon icon) = 0;
    virtual bool Ask(const std::string& question, AskDefault byDefault) = 0;
    // The outcome of a run, shown next in a box: a front end whose window is not in front tells
    // the desktop too, for the box alone does not come forward.
    virtual void Notice(const std::string& text) = 0;

    // The start button, the size field and the "..." buttons; never the Close button.
    virtual void EnableInputs(bool enable) = 0;
    virtual void Focus(Field field) = 0;
    virtual void SetText(Field field, const std::string& text) = 0;

    // The bar: its range [0, upper], the position, and whether its percent text shows.
    virtual void SetBar(int upper, int position, bool showPercent) = 0;
    virtual void SetBarPos(int position) = 0;
    // The line under the bar; an empty text hides it (its room is kept).
    virtual void SetStatus(const std::string& text) = 0;

    // Ends the dialog: with OK when ok, otherwise as Close would.
    virtual void EndDialog(bool ok) = 0;

    // Monotonic milliseconds. Called on the GUI thread and on the worker's.
    virtual int64_t NowMs() = 0;
    // While on, the front end calls RunSession::OnTick about every kTickMs.
    virtual void SetTicking(bool on) = 0;
    // Called on the WORKER's thread: have the GUI thread call RunSession::OnWake soon (Qt: a
    // queued call; Win32: PostMessageW to the dialog). Never called once the session has closed
    // its pump, which it does before EndDialog and in its destructor.
    virtual void Wake() = 0;
};

} // namespace zelvo::core
