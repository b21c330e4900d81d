// The main window: menu bar, status bar with the command prompts and the lock-key panes, and the
// title view. Menu items carry their command ids and are routed through OnCmdMsg: the view, the
// frame's own handlers, then the application object.
#pragma once

#include <QMainWindow>

class QLabel;
class QMenu;
class QTimer;
class CSplitterApp;
class CTitleView;

class CMainFrame final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMainFrame)

public:
    explicit CMainFrame(CSplitterApp& app);

    // Builds the view, the status bar and the built-in menu; -1 when one of them failed.
    int OnCreate();

    bool OnCmdMsg(unsigned commandId, int code, QAction* item);
    void OnFileComminute();
    void OnFileMerge();
    // A file from the command line, a second start or a drop: the window comes to the front and
    // the file's dialog opens with it, unless a dialog is open already, which is then said.
    void OpenFile(const QString& path);

    // Connects every command item of the current menu bar to the command route and brings the
    // items' state up to date. Runs after each change of the bar.
    void WireMenuBar();

    CTitleView* View() const { return m_wndView; }
    QLabel* MessagePane() const { return m_paneMessage; }
    // Shows the indicator panes of the lock keys that are on.
    void ShowLockKeys(bool caps, bool num, bool scroll);

protected:
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildDefaultMenu();
    void UpdateMenu(QMenu& menu);
    void ShowIdleMessageWhenMenusClosed();
    void PollLockKeys();

    CSplitterApp& m_app;
    // The status bar is QMainWindow's own.
    CTitleView* m_wndView = nullptr;
    QLabel* m_paneMessage = nullptr;
    QLabel* m_paneCaps = nullptr;
    QLabel* m_paneNum = nullptr;
    QLabel* m_paneScroll = nullptr;
    QTimer* m_lockKeyTimer = nullptr;
};
