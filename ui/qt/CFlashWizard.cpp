#include "ui/qt/CFlashWizard.h"

#include "ui/qt/DialogInput.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/QtUserInterface.h"

#include <QFrame>
#include <QPushButton>

CPropertyPage::CPropertyPage(int templateId, CFlashWizard& sheet)
    : QWidget(&sheet), m_sheet(sheet), m_templateId(templateId)
{
    setVisible(false);
}

QString CPropertyPage::Caption() const
{
    const DialogTemplate* dialog = FindDialogTemplate(m_templateId);
    return dialog != nullptr ? QString::fromUtf8(dialog->caption) : QString();
}

bool CPropertyPage::Create()
{
    m_controls = BuildDialog(m_templateId, this);
    m_created = true;
    return OnInitDialog();
}

bool CPropertyPage::OnInitDialog() { return UpdateData(false); }

bool CPropertyPage::OnSetActive()
{
    // From the second activation on, the members go back into the controls.
    if (m_activatedBefore)
        UpdateData(false);
    m_activatedBefore = true;
    return true;
}

CFlashWizard::CFlashWizard(const QString& caption, QWidget* parent, int startPage, QtUserInterface& ui)
    : QDialog(parent), m_pageWelcome(*this), m_pagePort(*this), m_pagePath(*this), m_ui(ui), m_startPage(startPage)
{
    setWindowTitle(caption);
    setWindowIcon(ApplicationIcon());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    // The sheet is as large as its largest page, with the button row below.
    const DialogTemplate* welcome = FindDialogTemplate(IDD_WELCOME);
    QFont font = TemplateFont(*welcome);
    setFont(font);
    DialogUnits units = UnitsOf(font);
    int pageWidth = 0;
    int pageHeight = 0;
    for (int id : {IDD_WELCOME, IDD_PORTS, IDD_PATH}) {
        const DialogTemplate* page = FindDialogTemplate(id);
        pageWidth = std::max(pageWidth, units.X(page->width));
        pageHeight = std::max(pageHeight, units.Y(page->height));
    }

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(units.X(7), pageHeight + units.Y(2), pageWidth - units.X(14), 2);

    const int buttonY = pageHeight + units.Y(9);
    const int buttonW = units.X(50);
    const int buttonH = units.Y(14);
    const int cancelX = pageWidth - units.X(7) - buttonW;
    const int nextX = cancelX - units.X(7) - buttonW;
    m_back = new QPushButton(QStringLiteral("< &Back"), this);
    m_next = new QPushButton(QStringLiteral("&Next >"), this);
    m_finish = new QPushButton(QStringLiteral("Finish"), this);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_back->setGeometry(nextX - buttonW, buttonY, buttonW, buttonH);
    m_next->setGeometry(nextX, buttonY, buttonW, buttonH);
    m_finish->setGeometry(nextX, buttonY, buttonW, buttonH);
    m_cancel->setGeometry(cancelX, buttonY, buttonW, buttonH);
    m_finish->hide();
    for (QPushButton* button : {m_back, m_next, m_finish, m_cancel})
        button->setAutoDefault(false);
    setFixedSize(pageWidth, buttonY + buttonH + units.Y(7));

    connect(m_back, &QPushButton::clicked, this, [this] { OnBack(); });
    connect(m_next, &QPushButton::clicked, this, [this] { OnNext(); });
    connect(m_finish, &QPushButton::clicked, this, [this] { OnFinish(); });
    // Cancel ends the wizard at once: no question, no input tested.
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int CFlashWizard::DoModal()
{
    SetActivePage(m_startPage);
    if (m_ended)
        return QDialog::Rejected;
    return exec();
}

CPropertyPage* CFlashWizard::Page(int index)
{
    switch (index) {
    case 0:
        return &m_pageWelcome;
    case 1:
        return &m_pagePort;
    case 2:
        return &m_pagePath;
    default:
        return nullptr;
    }
}

CPropertyPage* CFlashWizard::ActivePage() const { return const_cast<CFlashWizard*>(this)->Page(m_active); }

void CFlashWizard::SetActivePage(int index)
{
    CPropertyPage* page = Page(index);
    if (page == nullptr)
        return;
    if (!page->Created()) {
        page->Create();
        if (m_ended)
            return;
    }
    if (CPropertyPage* previous = ActivePage())
        previous->hide();
    m_active = index;
    page->move(0, 0);
    page->show();
    setWindowTitle(page->Caption());
    page->OnSetActive();
    // Focus goes to the page's first control that Tab reaches.
    for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if ((child->focusPolicy() & Qt::TabFocus) && child->isVisibleTo(page) && child->isEnabled()) {
            child->setFocus();
            break;
        }
    }
}

void CFlashWizard::SetWizardButtons(unsigned flags)
{
    m_flags = flags;
    m_back->setEnabled(flags & kWizardBack);
    bool finish = flags & (kWizardFinish | kWizardDisabledFinish);
    m_next->setVisible(!finish);
    m_next->setEnabled(flags & kWizardNext);
    m_finish->setVisible(finish);
    m_finish->setEnabled(flags & kWizardFinish);
    m_next->setDefault(!finish);
    m_finish->setDefault(finish);
}

void CFlashWizard::OnBack()
{
    if (!m_back->isEnabled())
        return;
    ActivePage()->UpdateData(true);
    SetActivePage(m_active - 1);
}

void CFlashWizard::OnNext()
{
    if (!m_next->isEnabled() || !m_next->isVisible())
        return;
    ActivePage()->UpdateData(true);
    SetActivePage(m_active + 1);
}

void CFlashWizard::OnFinish()
{
    if (!m_finish->isEnabled() || !m_finish->isVisible())
        return;
    if (ActivePage()->OnWizardFinish())
        accept();
}

void CFlashWizard::keyPressEvent(QKeyEvent* event)
{
    // Return presses the focused push button (Back, Cancel, Browse...);
    // elsewhere, the ABOUT picture included, it presses Next or Finish.
    if (!PressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

void CFlashWizard::EndWithCancel()
{
    m_ended = true;
    reject();
}
