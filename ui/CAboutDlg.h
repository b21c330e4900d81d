// The About box: the program's icon, name and version, the copyright notice, OK, and a link to
// the maker's web site. Its texts are fixed; they do not follow the interface language. Each
// opening uses a new object, so the link starts unvisited every time.
#pragma once

#include "CStaticLink.h"

#include <QDialog>

class CAboutDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int IDD = 100;
    static constexpr int IDC_LINK = 1030;
    // The link opens this address; the label shows it without the final slash.
    static constexpr const char* makerSite = "https://www.quorvex.example/";

    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;
    Q_DISABLE_COPY_MOVE(CAboutDlg)

private:
    void OnInitDialog();

    CStaticLink m_link;
};
