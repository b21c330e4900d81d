#include "CComminuteDlg.h"

#include "DialogControls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace zelvo;
using namespace zelvo::ui;

CComminuteDlg::CComminuteDlg(lang::LanguageTexts language, QWidget* parent)
    : CWorkerDlg({lang::LangDialog::Comminute, "Comminute"}, std::move(language), parent)
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("File Comminute"));
    BuildControls();
    OnInitDialog();
}

CComminuteDlg::~CComminuteDlg() = default;

void CComminuteDlg::BuildControls()
{
    const DialogUnits du(fontMetrics());

    m_btnComminute = MakePushButton(this, 1, QStringLiteral("Comminute"), du);
    m_btnClose = MakePushButton(this, 2, QStringLiteral("Close"), du);
    m_groupSource = MakeGroup(this, 1016, QStringLiteral("Source"));
    m_groupDest = MakeGroup(this, 1017, QStringLiteral("Destination"));
    m_labelSource = MakeLabel(m_groupSource, 1018, QStringLiteral("Select Source File : "));
    m_editSource = MakeReadOnlyField(m_groupSource, 1000, du.X(96));
    m_btnBrowseSource = MakeBrowseButton(m_groupSource, 1001, du);
    m_labelSize = MakeLabel(m_groupDest, 1019, QStringLiteral("Files Size:"));
    m_editSize = MakeDigitsField(m_groupDest, 1002, du.X(22));
    m_comboUnit = new QComboBox(m_groupDest);
    m_comboUnit->setObjectName(QStringLiteral("1010"));
    m_comboUnit->addItems({QStringLiteral("K Bytes"), QStringLiteral("M Bytes")});
    m_labelTotal = MakeLabel(m_groupDest, 1020, QStringLiteral("Files Total:"));
    m_editCount = MakeReadOnlyField(m_groupDest, 1005, du.X(40));
    m_labelFolder = MakeLabel(m_groupDest, 1021, QStringLiteral("Saved into Folder:"));
    m_editDest = MakeReadOnlyField(m_groupDest, 1006, du.X(98));
    m_btnBrowseDest = MakeBrowseButton(m_groupDest, 1007, du);
    m_progress = MakeProgressBar(this, 1008, du);
    m_labelSource->setBuddy(m_editSource);
    m_labelSize->setBuddy(m_editSize);
    m_labelTotal->setBuddy(m_editCount);
    m_labelFolder->setBuddy(m_editDest);

    // Source: the prompt over the path field and its button, in the lower half of the group as in
    // the template.
    auto* source = new QGridLayout(m_groupSource);
    source->setContentsMargins(du.X(8), du.Y(12), du.X(4), du.Y(8));
    source->setRowStretch(0, 1);
    source->addWidget(m_labelSource, 1, 0, 1, 2);
    source->addWidget(m_editSource, 2, 0);
    source->addWidget(m_btnBrowseSource, 2, 1);
    source->setRowStretch(3, 1);
    source->setColumnStretch(0, 1);

    // Destination: size and unit, chip count, then the folder prompt over the folder field.
    auto* dest = new QGridLayout(m_groupDest);
    dest->setContentsMargins(du.X(8), du.Y(12), du.X(8), du.Y(8));
    dest->setVerticalSpacing(du.Y(6));
    dest->addWidget(m_labelSize, 0, 0);
    dest->addWidget(m_editSize, 0, 1);
    dest->addWidget(m_comboUnit, 0, 2, 1, 2);
    dest->addWidget(m_labelTotal, 1, 0);
    dest->addWidget(m_editCount, 1, 1, 1, 3);
    dest->addWidget(m_labelFolder, 2, 0, 1, 4);
    dest->addWidget(m_editDest, 3, 0, 1, 3);
    dest->addWidget(m_btnBrowseDest, 3, 3);
    dest->setRowMinimumHeight(2, du.Y(10));
    dest->setColumnStretch(1, 1);

    m_statusRoom =
        LayOutRunDialog(this, du, 16, m_groupSource, m_groupDest, m_progress, m_btnComminute, m_btnClose, 16);

    // Tab order of the template: Comminute, Close, the source field and its button, the size
    // field, the chip count, the folder field and its button, the unit box (never enabled).
    setTabOrder(m_btnComminute, m_btnClose);
    setTabOrder(m_btnClose, m_editSource);
    setTabOrder(m_editSource, m_btnBrowseSource);
    setTabOrder(m_btnBrowseSource, m_editSize);
    setTabOrder(m_editSize, m_editCount);
    setTabOrder(m_editCount, m_editDest);
    setTabOrder(m_editDest, m_btnBrowseDest);
    setTabOrder(m_btnBrowseDest, m_comboUnit);

    connect(m_btnComminute, &QPushButton::clicked, this, &CComminuteDlg::OnOK);
    connect(m_btnClose, &QPushButton::clicked, this, &CComminuteDlg::reject);
    connect(m_btnBrowseSource, &QPushButton::clicked, this, &CComminuteDlg::OnBrowseSource);
    connect(m_btnBrowseDest, &QPushButton::clicked, this, &CComminuteDlg::OnBrowseDest);
    AcceptDrops(m_editSource, m_btnBrowseSource, false, [this](const QString& path) { SetSourcePath(path); });
    AcceptDrops(m_editDest, m_btnBrowseDest, true, [this](const QString& path) { m_editDest->setText(path); });
}

void CComminuteDlg::OnInitDialog()
{
    // The chip size is always whole megabytes: the engine copies whole 64 KiB blocks per chip.
    m_comboUnit->setCurrentIndex(1);
    m_comboUnit->setEnabled(false);
    auto session = std::make_unique<core::ComminuteSession>(static_cast<core::RunPort&>(*this));
    m_session = session.get();
    InitRunDialog(std::move(session), m_progress, m_statusRoom);
    for (QLineEdit* input : {m_editSource, m_editSize, m_editDest})
        connect(input, &QLineEdit::textChanged, this, [this] { m_session->OnInputChanged(); });
    m_comboUnit->setAccessibleName(RunText(u"Unit Box", "Unit"));

    // The template's size, grown where a language's texts need more room; the frame is fixed.
    const DialogUnits du(fontMetrics());
    setFixedSize(QSize(du.X(276), du.Y(184)).expandedTo(sizeHint()));
    m_btnComminute->setFocus();
}

void CComminuteDlg::OnBrowseSource()
{
    const QString path = BrowseSourceFile(QStringLiteral("All Files (*.*)"));
    if (!path.isEmpty())
        SetSourcePath(path);
}

void CComminuteDlg::SetSourcePath(const QString& path)
{
    m_editSource->setText(path);
}

void CComminuteDlg::OnBrowseDest()
{
    const QString folder = BrowseDestFolder();
    if (!folder.isEmpty())
        m_editDest->setText(folder);
}

void CComminuteDlg::OnOK()
{
    m_session->OnPress(ToPathString(m_editSource->text()), m_editSize->text().toStdString(),
                       ToPathString(m_editDest->text()));
}

QWidget* CComminuteDlg::FieldControl(core::Field field) const
{
    switch (field) {
    case core::Field::Source:
        return m_editSource;
    case core::Field::Size:
        return m_editSize;
    case core::Field::Count:
    case core::Field::Name:
        break;
    case core::Field::Dest:
        return m_editDest;
    }
    return m_editCount;
}

void CComminuteDlg::EnableInputs(bool enable)
{
    m_btnComminute->setEnabled(enable);
    m_editSize->setEnabled(enable);
    m_btnBrowseDest->setEnabled(enable);
    m_btnBrowseSource->setEnabled(enable);
}
