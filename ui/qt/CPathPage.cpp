#include "ui/qt/CPathPage.h"

#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "app/Text.h"
#include "ui/qt/CConfirmDlg.h"
#include "ui/qt/CFlashWizard.h"
#include "ui/qt/QtUserInterface.h"
#include "ui/rules/WizardRules.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

CPathPage::CPathPage(CFlashWizard& sheet) : CPropertyPage(IDD_PATH, sheet) {}

void CPathPage::DoDataExchange(bool save)
{
    m_edtPath = m_controls.Get<QLineEdit>(IDC_PATH_EDIT);
    if (save)
        m_strPath = m_edtPath->text();
    else
        m_edtPath->setText(m_strPath);
}

bool CPathPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    connect(m_edtPath, &QLineEdit::textChanged, this, [this] { OnChangePath(); });
    connect(m_controls.Get<QPushButton>(IDC_PATH_BROWSE), &QPushButton::clicked, this, [this] { OnBrowse(); });
    m_edtPath->setText(QString::fromLocal8Bit(std::string(FieldText(FlashSelection.HexFilePath)).c_str()));
    return true;
}

bool CPathPage::OnSetActive()
{
    CPropertyPage::OnSetActive();
    // Finish is offered on arrival whatever the text; the text governs it
    // from its next change on.
    m_sheet.SetWizardButtons(ButtonsOnActivation(WizardPage::Path));
    return true;
}

void CPathPage::OnChangePath()
{
    UpdateData(true);
    m_sheet.SetWizardButtons(PathButtonsAfterChange(m_strPath.toLocal8Bit().toStdString()));
}

void CPathPage::OnBrowse()
{
    // One open-file dialog at a time: bring an open one to the front.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle() == QStringLiteral("Open")) {
            window->raise();
            window->activateWindow();
            return;
        }
    }
    UpdateData(true);
    OpenFileRequest request;
    request.initialDirectory = InitialBrowseFolder(m_strPath.toLocal8Bit().toStdString(), kPosixPathSeparators);
    std::string chosen;
    if (m_sheet.Ui().Dialogs().GetOpenFileName(request, chosen))
        m_edtPath->setText(QString::fromLocal8Bit(chosen.c_str()));
}

bool CPathPage::OnWizardFinish()
{
    UpdateData(true);
    UiDialogs& dialogs = m_sheet.Ui().Dialogs();
    FinishVerdict verdict = CompleteSelection(m_sheet.m_pagePort.SelectedRow(), m_sheet.m_pagePort.m_nBaudIndex,
                                              m_strPath.toLocal8Bit().toStdString());
    if (!verdict.proceed) {
        dialogs.ShowMessage(kApplicationName, verdict.message, MsgIcon::Stop);
        return false;
    }

    CConfirmDlg confirm(&m_sheet, dialogs);
    return confirm.DoModal() == IDOK;
}
