// A label that works as a hyperlink: underlined text in the link colour, the hand cursor, and a
// click anywhere on it opens its target through the desktop. It is attached to an existing label
// of a dialog, found by its control id, and from then on sees the label's events first.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QRgb>
#include <QString>
#include <QUrl>
#include <optional>

class CStaticLink final : public QObject
{
    Q_OBJECT

public:
    static constexpr QRgb unvisitedColor = qRgb(0, 0, 255); // blue, until the first successful open
    static constexpr QRgb visitedColor = qRgb(128, 0, 128); // purple, from then on

    // An empty target means the label's text, taken on the first click. With deleteWithWindow the
    // link deletes itself once its label is destroyed; otherwise its owner deletes it.
    explicit CStaticLink(const QString& target = QString(), bool deleteWithWindow = false);
    ~CStaticLink() override;
    Q_DISABLE_COPY_MOVE(CStaticLink)

    // Attaches to the QLabel child of parent whose objectName is the id ("1030"). False when there
    // is no such label or the link is already attached.
    bool SubclassDlgItem(int id, QWidget* parent);
    bool SubclassLabel(QLabel* label);

    QLabel* Label() const { return m_label; }
    const QString& Target() const { return m_target; }
    void SetTarget(const QString& target) { m_target = target; }
    // Blue or purple: which one the link is, whatever shade the background makes it drawn in.
    QRgb TextColor() const { return m_textColor; }

    // A label that shows a picture or a frame rather than plain text keeps its ordinary look;
    // it still gets the hand cursor and still opens its target.
    static bool HasTextStyle(const QLabel& label);

    // What a target text opens: an existing file, an address, or a bare host name on the web.
    static QUrl TargetUrl(const QString& target);

    // The colour a link of colour `colour` is drawn in over `background` (core::ReadableOn).
    static QColor ReadableOn(QRgb colour, QColor background);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void OnLabelDestroyed();

private:
    void ApplyLinkLook();
    void OnClick();

    QString m_target;
    QRgb m_textColor = unvisitedColor;
    std::optional<QFont> m_underlineFont; // the label's own font, underlined; made once
    bool m_deleteWithWindow = false;
    QPointer<QLabel> m_label;
};
