// The progress bar of the Comminute and Merge dialogs: a bar in the highlight colour up to the
// position, the rest in the window colour, and the percentage (or a label) centred over both, each
// half of the text in a colour that reads on its part (core::PercentTextColours); the filled
// width and the percent are the core's too (core::ProgressFilledWidth, core::PercentText).
//
// The control keeps its own range and position; QProgressBar's value, range and painting are not
// used (only its role, size hint and style metrics). Like the template's bar it has a one-pixel
// border, drawn even while the range is empty; the fill, the text and the filled width in pixels
// all belong to the client area inside it (contentsRect). A worker posts one position per 64 KiB
// block, far more updates than the bar has pixels, so SetPos repaints only when the filled width
// in pixels changes.
#pragma once

#include <QColor>
#include <QProgressBar>
#include <QString>

namespace zelvo::ui {

class CPercentProgressCtrl : public QProgressBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPercentProgressCtrl)

public:
    explicit CPercentProgressCtrl(QWidget* parent = nullptr);
    ~CPercentProgressCtrl() override;

    // Stores the range only; nothing is repainted (the dialogs set the position right after).
    void SetRange(int lower, int upper);
    // Returns the previous position, or −1 without storing anything when the control has no
    // window yet (see HasWindow). Repaints at once when the filled width in pixels changes.
    int SetPos(int position);
    // Stored even without a window, so a dialog can hide the text before it is first shown.
    void ShowLabel(bool show);

    // The control's "window text": a non-empty label replaces the percentage; an empty one brings
    // the percentage back. Reading it yields the label, never the native text.
    void SetWindowText(const QString& text);
    QString GetWindowText() const { return m_strLabel; }

    // The text as painted (label or percent; empty while the text is hidden), for accessibility.
    QString text() const override;

    int GetPos() const { return m_nPosition; }
    int GetLower() const { return m_nLower; }
    int GetUpper() const { return m_nUpper; }
    bool IsLabelShown() const { return m_bShowLabel; }
    // Paint passes that drew the bar since construction: tests and the benchmark count repaints.
    int PaintCount() const { return m_nPaintCount; }
    // The control has a window once Qt has created it (it, or the dialog it sits in, was shown).
    bool HasWindow() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A double click on the bar is the bar's: it must not reach the dialog as one on its surface.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QString LabelText() const; // the label, or the percent

    int m_nPosition = 0;
    int m_nUpper = 100;
    int m_nLower = 0;
    QString m_strLabel;
    bool m_bShowLabel = true;
    int m_nFilledWidth = -1; // −1 forces the next SetPos to repaint
    QColor m_crFill;
    QColor m_crEmpty;
    QColor m_crLabelOnEmpty;
    QColor m_crLabelOnFill;
    QColor m_crBorder;
    int m_nPaintCount = 0;
};

} // namespace zelvo::ui
