// The view that fills the main window: the program title, navy, centred, in every language.
#pragma once

#include <QFrame>

class CTitleView final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTitleView)

public:
    explicit CTitleView(QWidget* parent = nullptr);

    static QString Title();

protected:
    void paintEvent(QPaintEvent* event) override;
};
