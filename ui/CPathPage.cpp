#include "ui/CPathPage.h"

#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "app/Paths.h"
#include "app/Text.h"
#include "ports/PortTable.h"
#include "serial/PortNames.h"
#include "ui/CConfirmDlg.h"
#include "ui/CFlashWizard.h"
#include "ui/QtUserInterface.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

CPathPage::CPathPage(CFlashWizard& sheet) : CPropertyPage(IDD_PATH, sheet) {}

void CPathPage::DoDataExchange(bool save)
{
    m_edtPath = m_controls.Get<QLineEdit>(1006);
    if (save)
        m_strPath = m_edtPath->text();
    else
        m_edtPath->setText(m_strPath);
}

bool CPathPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    connect(m_edtPath, &QLineEdit::textChanged, this, [this] { OnChangePath(); });
    connect(m_controls.Get<QPushButton>(1007), &QPushButton::clicked, this, [this] { OnBrowse(); });
    m_edtPath->setText(QString::fromLocal8Bit(std::string(FieldText(FlashSelection.HexFilePath)).c_str()));
    return true;
}

bool CPathPage::OnSetActive()
{
    CPropertyPage::OnSetActive();
    // Finish is offered on arrival whatever the text; the text governs it
    // from its next change on.
    m_sheet.SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return true;
}

void CPathPage::OnChangePath()
{
    UpdateData(true);
    bool hex = m_strPath.toUpper().contains(QStringLiteral("HEX"));
    m_sheet.SetWizardButtons(PSWIZB_BACK | (hex ? PSWIZB_FINISH : PSWIZB_DISABLEDFINISH));
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
    std::string path = m_strPath.toLocal8Bit().toStdString();
    std::string::size_type slash = path.rfind('/');
    if (!path.empty() && slash != std::string::npos)
        request.initialDirectory = path.substr(0, slash + 1);
    std::string chosen;
    if (m_sheet.Ui().Dialogs().GetOpenFileName(request, chosen))
        m_edtPath->setText(QString::fromLocal8Bit(chosen.c_str()));
}

bool CPathPage::OnWizardFinish()
{
    UpdateData(true);
    UiDialogs& dialogs = m_sheet.Ui().Dialogs();

    // The selection holds COM1 to COM9 only. A device that the scan could not
    // name is listed under its device path: refuse it rather than flash the
    // port chosen before, and say how to reach it.
    int row = m_sheet.m_pagePort.SelectedRow();
    if (row >= 0 && row < MAX_PORTS && !SetField(FlashSelection.PortName, PortTable[row].portName)) {
        const std::string& port = PortTable[row].portName;
        dialogs.ShowMessage(kApplicationName,
                            port + " has no COM name, and the wizard can flash only COM1 to COM9. To give it one, "
                                   "make sure that the port directory " +
                                PortDirectory() +
                                " can be written and remove from it an entry you no longer need; the next scan "
                                "names the port. Or flash it from the command line: flashloader-cli flash --port " +
                                port + " --file " + m_strPath.toLocal8Bit().toStdString(),
                            MsgIcon::Stop);
        return false;
    }
    ConvertBaudRate(FlashSelection.BaudRate, m_sheet.m_pagePort.m_nBaudIndex, BaudDirection::IndexToRate);

    // A cut path would name another file: refuse it instead.
    std::string path = m_strPath.toLocal8Bit().toStdString();
    if (!SetField(FlashSelection.HexFilePath, path)) {
        dialogs.ShowMessage(kApplicationName,
                            "The path " + path + " is " + std::to_string(path.size()) +
                                " characters long; at most " + std::to_string(kMaxHexFilePathLength) +
                                " fit. Move the file to a folder with a shorter path and choose it again.",
                            MsgIcon::Stop);
        return false;
    }

    // Test-open as a file: a folder opens for reading too, and would pass.
    if (!OpensForReading(path)) {
        char text[512];
        std::snprintf(text, sizeof text, "File %s could not be opened", path.c_str());
        dialogs.ShowMessage(kApplicationName, text, MsgIcon::Stop);
        return false;
    }

    CConfirmDlg confirm(&m_sheet, dialogs);
    return confirm.DoModal() == IDOK;
}
