#include "ui/rules/RunPresenter.h"

#include "flash/FlashSession.h"

void RunPresenter::ShowStatus(const std::string& text, StatusKind kind)
{
    m_view.ShowStatus(text, kind);
    // The files are checked whole before anything goes to the modem, with
    // no message handled meanwhile: what the run is doing is drawn at once.
    if (m_phase == RunPhase::Starting)
        m_view.Repaint();
}

void RunPresenter::OnChecked(const CheckOutcome& outcome)
{
    switch (outcome.result) {
    case CheckResult::Ready:
        if (outcome.mismatches != 0)
            m_view.Beep(BeepKind::IconHand);
        m_view.SetRunState(RunState::Ready);
        break;
    case CheckResult::PortFailed:
    case CheckResult::NoModem:
        m_view.Beep(BeepKind::IconHand);
        if (!outcome.detail.empty())
            m_view.ShowFailureDetail(outcome.detail);
        break;
    case CheckResult::Stopped:
        break;
    }
}

void RunPresenter::OnPhase(RunPhase phase)
{
    const RunPhase previous = m_phase;
    m_phase = phase;
    if (previous == RunPhase::Starting && phase != RunPhase::Done)
        m_view.Repaint();  // the files' check is over
    switch (phase) {
    case RunPhase::Starting:
        m_afterLoader = false;
        m_view.ShowFileProblem({});
        m_view.SetRunState(RunState::Running);
        m_view.SetPercentText("0%");
        m_view.SetProgressCaption("Done");
        break;
    case RunPhase::LoadingLoader:
        m_afterLoader = true;
        m_view.SetProgressCaption("Done (FLASHLDR.HEX)");
        break;
    case RunPhase::LoadingImage:
        if (m_afterLoader) {
            m_afterLoader = false;
            m_view.SetPercentText("0%");
            m_view.SetProgressCaption("Done");
            m_view.SetProgressPos(0);
        }
        break;
    default:
        break;
    }
}

void RunPresenter::OnProgress(const RunProgress& progress)
{
    if (progress.linesSent == 0) {
        if (!m_busy) {
            m_busy = true;
            m_view.SetBusy(true);
        }
        m_view.SetTitle(kLoadingTitle);
        m_lastShown = 1;
        m_pumpDue = false;
    } else {
        const int percent =
            progress.bytesTotal > 0 ? static_cast<int>(progress.bytesSent * 100 / progress.bytesTotal) : 100;
        // The modem answered after a long silence: the bar has a position again.
        if (m_busyBar) {
            m_busyBar = false;
            m_view.SetBusyBar(false);
            m_view.SetProgressPos(percent);
        }
        if (percent != m_lastShown) {
            m_lastShown = percent;
            m_view.SetPercentText(std::to_string(percent) + "%");
            m_view.SetProgressPos(percent);
            m_pumpDue = true;
        }
    }
    m_fileComplete = progress.linesSent == progress.linesTotal;
}

void RunPresenter::OnWait(const RunWait& wait)
{
    if (wait.waitedMs == 0 && !m_busyBar) {
        m_busyBar = true;
        m_view.SetBusyBar(true);
    }
}

GoOnAnswer RunPresenter::ShouldGoOn()
{
    // The window handles its messages once for every new percent shown,
    // not for every line.
    if (m_pumpDue) {
        m_pumpDue = false;
        if (!m_view.PumpMessages())
            return GoOnAnswer::Quit;
    }
    if (m_fileComplete) {
        m_fileComplete = false;
        m_view.SetProgressPos(100);
        if (m_busy) {
            m_busy = false;
            m_view.SetBusy(false);
        }
        return GoOnAnswer::GoOn;
    }
    return m_view.QuitRequested() ? GoOnAnswer::Stop : GoOnAnswer::GoOn;
}

void RunPresenter::OnResult(const RunResult& result)
{
    if (m_busy) {
        m_busy = false;
        m_view.SetBusy(false);
    }
    const bool succeeded = result.outcome == RunOutcome::Succeeded;
    if (succeeded)
        m_view.SetProgressCaption(FormatElapsed(result.elapsedMs));
    m_view.SetRunState(succeeded ? RunState::Succeeded : RunState::Failed);
    // The busy bar of a long wait ends with the run.
    if (m_busyBar) {
        m_busyBar = false;
        m_view.SetBusyBar(false);
    }
    m_view.ShowStatus(RunResultStatus(result), RunResultKind(result));
    if (succeeded) {
        m_view.Beep(BeepKind::Ok);
        return;
    }
    if (!result.detail.empty())
        m_view.ShowFailureDetail(result.detail);
    m_view.Beep(BeepKind::IconHand);
    m_view.SetPercentText(" ");
    m_view.SetProgressCaption(" ");
    // The loader file is not what the person chose: the status
    // names it only, so where it was looked for and what to do stands
    // under it, not only on hovering.
    if (result.outcome == RunOutcome::LoaderRefused)
        m_view.ShowFileProblem(result.detail);
}
