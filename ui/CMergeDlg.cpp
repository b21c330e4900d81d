#include "CMergeDlg.h"

#include "DialogControls.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace zelvo;
using namespace zelvo::ui;

CMergeDlg::CMergeDlg(lang::LanguageTexts language, QWidget* parent)
    : CWorkerDlg({lang::LangDialog::Merge, "Merge"}, std::move(language), parent)
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("File Merge"));
    BuildControls();
    OnInitDialog();
}

CMergeDlg::~CMergeDlg() = default;

void CMergeDlg::BuildControls()
{
    const DialogUnits du(fontMetrics());

    m_groupSource = MakeGroup(this, 1027, QStringLiteral("Source"));
    m_btnMerge = MakePushButton(this, 1, QStringLiteral("Merge"), du);
    m_btnClose = MakePushButton(this, 2, QStringLiteral("Close"), du);
    m_groupDest = MakeGroup(this, 1026, QStringLiteral("Destination"));
    m_labelHeader = MakeLabel(m_groupSource, 1022, QStringLiteral("Select Header Chip File(.DAV):"));
    m_editHeader = MakeReadOnlyField(m_groupSource, 1011, du.X(95));
    m_btnBrowseHeader = MakeBrowseButton(m_groupSource, 1001, du);
    m_labelTotal = MakeLabel(m_groupSource, 1023, QStringLiteral("Chip Total:"));
    m_editTotal = MakeReadOnlyField(m_groupSource, 1012, du.X(40));
    m_editDest = MakeReadOnlyField(m_groupDest, 1006, du.X(99));
    m_btnBrowseDest = MakeBrowseButton(m_groupDest, 1007, du);
    m_labelFolder = MakeLabel(m_groupDest, 1024, QStringLiteral("Saved into Folder:"));
    m_progress = MakeProgressBar(this, 1013, du);
    m_labelName = MakeLabel(m_groupDest, 1025, QStringLiteral("File Name:"));
    m_editName = MakeReadOnlyField(m_groupDest, 1009, du.X(99));
    m_labelHeader->setBuddy(m_editHeader);
    m_labelTotal->setBuddy(m_editTotal);
    m_labelFolder->setBuddy(m_editDest);
    m_labelName->setBuddy(m_editName);

    // Source: the header prompt over its path field and button; the chip total at the bottom.
    auto* source = new QGridLayout(m_groupSource);
    source->setContentsMargins(du.X(8), du.Y(12), du.X(4), du.Y(8));
    source->setVerticalSpacing(du.Y(4));
    source->addWidget(m_labelHeader, 0, 0, 1, 3);
    source->addWidget(m_editHeader, 1, 0, 1, 2);
    source->addWidget(m_btnBrowseHeader, 1, 2);
    source->setRowStretch(2, 1);
    source->addWidget(m_labelTotal, 3, 0);
    source->addWidget(m_editTotal, 3, 1);
    source->setColumnStretch(1, 1);

    // Destination: the rebuilt file's name at the top, the folder prompt over its field at the
    // bottom, level with the chip total.
    auto* dest = new QGridLayout(m_groupDest);
    dest->setContentsMargins(du.X(8), du.Y(12), du.X(8), du.Y(8));
    dest->setVerticalSpacing(du.Y(4));
    dest->addWidget(m_labelName, 0, 0, 1, 2);
    dest->addWidget(m_editName, 1, 0);
    dest->setRowStretch(2, 1);
    dest->addWidget(m_labelFolder, 3, 0, 1, 2);
    dest->addWidget(m_editDest, 4, 0);
    dest->addWidget(m_btnBrowseDest, 4, 1);
    dest->setColumnStretch(0, 1);

    m_statusRoom = LayOutRunDialog(this, du, 7, m_groupSource, m_groupDest, m_progress, m_btnMerge, m_btnClose, 29);

    // Tab order of the template: Merge, Close, the header field and its button, the chip total,
    // the folder field and its button, the file name.
    setTabOrder(m_btnMerge, m_btnClose);
    setTabOrder(m_btnClose, m_editHeader);
    setTabOrder(m_editHeader, m_btnBrowseHeader);
    setTabOrder(m_btnBrowseHeader, m_editTotal);
    setTabOrder(m_editTotal, m_editDest);
    setTabOrder(m_editDest, m_btnBrowseDest);
    setTabOrder(m_btnBrowseDest, m_editName);

    connect(m_btnMerge, &QPushButton::clicked, this, &CMergeDlg::OnMerge);
    connect(m_btnClose, &QPushButton::clicked, this, &CMergeDlg::reject);
    connect(m_btnBrowseHeader, &QPushButton::clicked, this, &CMergeDlg::OnBrowseHeader);
    connect(m_btnBrowseDest, &QPushButton::clicked, this, &CMergeDlg::OnBrowseDest);
    connect(m_editHeader, &QLineEdit::textChanged, this, &CMergeDlg::OnHeaderPathChanged);
    AcceptDrops(m_editHeader, m_btnBrowseHeader, false, [this](const QString& path) { SetHeaderPath(path); });
    AcceptDrops(m_editDest, m_btnBrowseDest, true, [this](const QString& path) { m_editDest->setText(path); });
}

void CMergeDlg::OnInitDialog()
{
    auto session = std::make_unique<core::MergeSession>(static_cast<core::RunPort&>(*this));
    m_session = session.get();
    InitRunDialog(std::move(session), m_progress, m_statusRoom);
    // The header's changes reach the session through OnHeaderChanged.
    connect(m_editDest, &QLineEdit::textChanged, this, [this] { m_session->OnInputChanged(); });
    const DialogUnits du(fontMetrics());
    setFixedSize(QSize(du.X(277), du.Y(162)).expandedTo(sizeHint()));
    m_btnMerge->setFocus();
}

void CMergeDlg::OnBrowseHeader()
{
    const QString path = BrowseSourceFile(QStringLiteral("First Chip Files (*.DAV)"));
    if (!path.isEmpty())
        SetHeaderPath(path);
}

void CMergeDlg::SetHeaderPath(const QString& path)
{
    // Choosing the same file again reads it again, as a change of the field would.
    if (path == m_editHeader->text())
        OnHeaderPathChanged();
    else
        m_editHeader->setText(path);
}

void CMergeDlg::OnBrowseDest()
{
    const QString folder = BrowseDestFolder();
    if (!folder.isEmpty())
        m_editDest->setText(folder);
}

void CMergeDlg::OnHeaderPathChanged()
{
    m_session->OnHeaderChanged(ToPathString(m_editHeader->text()));
}

void CMergeDlg::OnMerge()
{
    m_session->OnPress(ToPathString(m_editHeader->text()), ToPathString(m_editDest->text()));
}

QWidget* CMergeDlg::FieldControl(core::Field field) const
{
    switch (field) {
    case core::Field::Source:
    case core::Field::Size:
        break;
    case core::Field::Count:
        return m_editTotal;
    case core::Field::Dest:
        return m_editDest;
    case core::Field::Name:
        return m_editName;
    }
    return m_editHeader;
}

void CMergeDlg::EnableInputs(bool enable)
{
    m_btnMerge->setEnabled(enable);
    m_btnBrowseDest->setEnabled(enable);
    m_btnBrowseHeader->setEnabled(enable);
}
