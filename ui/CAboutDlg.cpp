#include "CAboutDlg.h"

#include "DialogUnits.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {

QLabel* AddLabel(QWidget* dialog, const QString& objectName, const QString& text)
{
    auto* label = new QLabel(text, dialog);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("About Zelvo for File"));

    const zelvo::ui::DialogUnits du(fontMetrics());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(QIcon(QStringLiteral(":/zelvo.png")).pixmap(QSize(32, 32), devicePixelRatio()));
    icon->setFixedSize(qMax(32, du.X(20)), qMax(32, du.Y(20)));
    icon->setAlignment(Qt::AlignCenter);

    auto* name = AddLabel(this, QStringLiteral("name"), QStringLiteral("Zelvo for File Ver. 1.3"));
    auto* copyright = AddLabel(this, QStringLiteral("copyright"), QStringLiteral("Copyright (C) 2026 Quorvex"));
    auto* link = AddLabel(this, QString::number(IDC_LINK), QString::fromLatin1(makerSite).chopped(1));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    ok->setMinimumSize(du.X(50), du.Y(14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    // Icon at the left; the two texts beside it; the link under them at the left and OK at the
    // bottom right, as in the template.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(du.X(11), du.Y(10), du.X(16), du.Y(12));
    grid->setHorizontalSpacing(du.X(9));
    grid->setVerticalSpacing(du.Y(10));
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1, 1, 2);
    grid->addWidget(copyright, 1, 1, 1, 2);
    grid->setRowStretch(2, 1);
    grid->addWidget(link, 3, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(ok, 3, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);

    // The template's 233 x 87 units, grown only if the texts need more; the frame is not sizable.
    setFixedSize(QSize(du.X(233), du.Y(87)).expandedTo(sizeHint()));

    OnInitDialog();
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::OnInitDialog()
{
    m_link.SetTarget(QString::fromLatin1(makerSite));
    m_link.SubclassDlgItem(IDC_LINK, this);
}
