// The two operation dialogs over the core's run sessions. The dialog procedure only forwards:
// presses, closes, the worker's wake-ups and the ticks go to the session; the session's requests
// (boxes, texts, the bar, the focus) come back through RunPort.
#pragma once

#include "AppRules.h"
#include "CDialog.h"
#include "CPercentProgressCtrl.h"
#include "DialogKeys.h"
#include "RunPort.h"
#include "RunSession.h"

#include <array>
#include <memory>
#include <shellapi.h>
#include <string>

namespace zelvo::win {

class CRunDlg : public CDialog, public core::RunPort
{
public:
    ~CRunDlg() override;
    // A path to put into the source field once the dialog is open (a file argument or a drop).
    void SetInitialSource(std::wstring path) { m_initialSource = std::move(path); }

protected:
    // The control of each core::Field in this dialog, in the enum's order.
    using FieldIds = std::array<int, 5>;
    CRunDlg(int templateId, lang::LangDialog kind, int progressId, FieldIds fieldIds);

    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnCancel() override;
    void OnDestroy() override;

    int FieldId(core::Field field) const { return m_fieldIds[std::size_t(field)]; }
    virtual void OnPress() = 0;
    virtual void OnBrowseSource() = 0;
    // The source field's text changed (EN_CHANGE).
    virtual void OnSourceChanged();
    virtual core::RunSession& Session() = 0;

    // The file-open dialog over this dialog; empty when cancelled.
    std::wstring BrowseFile(const wchar_t* filter, const wchar_t* place);
    void SetSource(const std::wstring& path);

    CPercentProgressCtrl m_wndProgress;

private:
    // RunPort
    void Show(const std::string& text, core::BoxIcon icon) override;
    bool Ask(const std::string& question, core::AskDefault byDefault) override;
    void Notice(const std::string& text) override;
    void EnableInputs(bool enable) override;
    void Focus(core::Field field) override;
    void SetText(core::Field field, const std::string& text) override;
    void SetBar(int upper, int position, bool showPercent) override;
    void SetBarPos(int position) override;
    void SetStatus(const std::string& text) override;
    void EndDialog(bool ok) override;
    int64_t NowMs() override;
    void SetTicking(bool on) override;
    void Wake() override;

    void ApplyLanguage();
    void OnBrowseDest();
    void OnDropFiles(HDROP drop);

    lang::LangDialog m_kind;
    int m_progressId;
    FieldIds m_fieldIds;
    std::wstring m_initialSource;
    struct Taskbar;
    std::unique_ptr<Taskbar> m_taskbar;
};

class CComminuteDlg final : public CRunDlg
{
public:
    CComminuteDlg();

private:
    BOOL OnInitDialog() override;
    void OnPress() override;
    void OnBrowseSource() override;
    core::RunSession& Session() override { return m_session; }

    core::ComminuteSession m_session{*this};
};

class CMergeDlg final : public CRunDlg
{
public:
    CMergeDlg();

private:
    void OnPress() override;
    void OnBrowseSource() override;
    void OnSourceChanged() override; // reads the set of the header chip
    core::RunSession& Session() override { return m_session; }

    core::MergeSession m_session{*this};
};

// Runs the dialog of which over owner until it ends, its source field holding source if any.
void RunDialog(core::FileDialog which, HWND owner, const std::wstring& source = {});

} // namespace zelvo::win
