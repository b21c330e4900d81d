// The Comminute dialog (template 130): pick a source file, a chip size in megabytes and a
// destination folder, then split the source into a chip set on a worker thread.
#pragma once

#include "CWorkerDlg.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;

class CComminuteDlg final : public zelvo::ui::CWorkerDlg
{
    Q_OBJECT

public:
    static constexpr int IDD = 130;

    // language: the texts it shows (none: its built-in ones).
    explicit CComminuteDlg(zelvo::lang::LanguageTexts language = {}, QWidget* parent = nullptr);
    ~CComminuteDlg() override;
    Q_DISABLE_COPY_MOVE(CComminuteDlg)

    // The source as if chosen with its "..." button (a file opened with the program, or dropped).
    void SetSourcePath(const QString& path);

private slots:
    void OnOK();
    void OnBrowseSource();
    void OnBrowseDest();

private:
    void BuildControls();
    void OnInitDialog();
    void EnableInputs(bool enable) override;
    QWidget* FieldControl(zelvo::core::Field field) const override;

    zelvo::core::ComminuteSession* m_session; // owned by CWorkerDlg
    QSpacerItem* m_statusRoom;

    QPushButton* m_btnBrowseSource;
    QPushButton* m_btnBrowseDest;
    QComboBox* m_comboUnit;
    QLineEdit* m_editSize;
    QGroupBox* m_groupDest;
    QLabel* m_labelTotal;
    QLabel* m_labelSize;
    QLabel* m_labelSource;
    QLabel* m_labelFolder;
    QGroupBox* m_groupSource;
    QPushButton* m_btnClose;
    QPushButton* m_btnComminute;
    zelvo::ui::CPercentProgressCtrl* m_progress;
    QLineEdit* m_editSource;
    QLineEdit* m_editCount;
    QLineEdit* m_editDest;
};
