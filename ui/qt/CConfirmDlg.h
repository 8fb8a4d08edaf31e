#pragma once
// The confirmation window: the selected port, rate and file, what the file
// and the modem say about themselves with the differences highlighted, and
// the buttons to change the inputs or to start the flashing run, whose
// progress and outcome it then shows.

#include "flash/FlashSession.h"
#include "ui/qt/DialogBuilder.h"
#include "ui/qt/UiDialogs.h"
#include "ui/rules/RunPresenter.h"

#include <QDialog>
#include <QPixmap>
#include <map>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

class CConfirmDlg : public QDialog, public RunView {
public:
    CConfirmDlg(QWidget* parent, UiDialogs& dialogs);
    ~CConfirmDlg() override;

    // IDOK after Close (a run took place), IDCANCEL after Change Inputs or
    // when the check at opening failed (the window is then never shown).
    int DoModal();

    // RunView
    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;
    void ShowStatus(const std::string& text, StatusKind kind) override;
    void ShowFileInfo(const InfoRow& row) override;
    void ShowModemInfo(const InfoRow& row) override;
    void SetPercentText(const std::string& text) override;
    void SetProgressCaption(const std::string& text) override;
    void SetProgressPos(int percent) override;
    void SetBusyBar(bool busy) override;
    void SetRunState(RunState state) override;
    void SetTitle(const std::string& title) override;
    void SetBusy(bool busy) override;
    void Beep(BeepKind kind) override;
    void Repaint() override;
    bool PumpMessages() override;
    void ShowFailureDetail(const std::string& detail) override;
    void ShowFileProblem(const std::string& text) override;

    RunState State() const { return m_state; }
    QWidget* Control(int id) const { return m_controls[id]; }

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool OnInitDialog();
    void OnPerformLoading();
    // Black on yellow for the fields of every mismatch the records show.
    void OnCtlColor();

    DialogControls m_controls;
    UiDialogs& m_dialogs;
    RunPresenter m_presenter{*this};
    FlashSession m_session;
    // The status icons, by their resource names.
    std::map<std::string, QPixmap> m_statusIcons;
    QLabel* m_icon;
    QProgressBar* m_progress;
    QPushButton* m_close;
    QPushButton* m_change;
    QPushButton* m_perform;
    RunState m_state = RunState::Ready;
    bool m_busy = false;
};
