// The Merge dialog (template 132): pick a set's header chip and a destination folder, then join
// the chips into one file on a worker thread.
#pragma once

#include "CWorkerDlg.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;

class CMergeDlg final : public zelvo::ui::CWorkerDlg
{
    Q_OBJECT

public:
    static constexpr int IDD = 132;

    // language: the texts it shows (none: its built-in ones).
    explicit CMergeDlg(zelvo::lang::LanguageTexts language = {}, QWidget* parent = nullptr);
    ~CMergeDlg() override;
    Q_DISABLE_COPY_MOVE(CMergeDlg)

    // The header chip (or any chip 01 to 99 of the set) as if chosen with its "..." button.
    void SetHeaderPath(const QString& path);

private slots:
    void OnMerge();
    void OnBrowseHeader();
    void OnBrowseDest();
    void OnHeaderPathChanged();

private:
    void BuildControls();
    void OnInitDialog();
    void EnableInputs(bool enable) override;
    QWidget* FieldControl(zelvo::core::Field field) const override;

    zelvo::core::MergeSession* m_session; // owned by CWorkerDlg
    QSpacerItem* m_statusRoom;
    QPushButton* m_btnBrowseDest;
    QPushButton* m_btnBrowseHeader;
    QPushButton* m_btnMerge;
    QPushButton* m_btnClose;
    QLabel* m_labelHeader;
    QLabel* m_labelFolder;
    QLabel* m_labelName;
    QGroupBox* m_groupSource;
    QGroupBox* m_groupDest;
    QLabel* m_labelTotal;
    zelvo::ui::CPercentProgressCtrl* m_progress;
    QLineEdit* m_editHeader;
    QLineEdit* m_editTotal;
    QLineEdit* m_editName;
    QLineEdit* m_editDest;
};
