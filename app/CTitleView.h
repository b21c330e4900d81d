// The view that fills the main window: the program title, centred, in every language; navy, or a
// lighter blue where navy would not read on the palette.
#pragma once

#include <QFrame>

class CTitleView final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTitleView)

public:
    explicit CTitleView(QWidget* parent = nullptr);

    static QString Title();
    // Navy where it reads on the view's background (contrast 4.5:1), as on a light window;
    // otherwise navy lightened (or darkened) just far enough.
    static QColor TitleColour(const QPalette& palette);

protected:
    void paintEvent(QPaintEvent* event) override;
};
