#include "ui/qt/CAboutBox.h"

#include "app/ProductTexts.h"

#include <QLabel>
#include <QPushButton>

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    m_controls = BuildDialog(IDD_ABOUTBOX, this);
    connect(m_controls.Get<QPushButton>(IDC_ABOUT_OK), &QPushButton::clicked, this, &QDialog::accept);
}

int CAboutBox::DoModal()
{
    OnInitDialog();
    return exec();
}

bool CAboutBox::OnInitDialog()
{
    if (QWidget* owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    auto text = [](const std::string& value) { return QString::fromStdString(value); };
    SetControlText(m_controls[IDC_ABOUT_PRODUCT], text(ProductTexts.ProductName + " " + ProductTexts.VersionString));
    SetControlText(m_controls[IDC_ABOUT_COMPANY], text(ProductTexts.CompanyName));
    SetControlText(m_controls[IDC_ABOUT_SLOGAN], text(ProductTexts.CompanySlogen));
    m_controls[IDC_ABOUT_OK]->setFocus();
    return true;
}
