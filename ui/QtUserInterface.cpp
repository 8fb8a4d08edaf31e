#include "ui/QtUserInterface.h"

#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "app/Text.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString FromField(std::string_view text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon ToQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Stop:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtUserInterface::QtUserInterface() = default;
QtUserInterface::~QtUserInterface() = default;

void QtUserInterface::ShowSearchNotice()
{
    m_notice = std::make_unique<QDialog>(QApplication::activeWindow(), Qt::Dialog | Qt::FramelessWindowHint);
    auto* layout = new QVBoxLayout(m_notice.get());
    auto* title = new QLabel(QStringLiteral("Searching for modems..."));
    title->setAlignment(Qt::AlignCenter);
    m_noticePorts = new QLabel;
    m_noticePorts->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    layout->addWidget(m_noticePorts);
    m_notice->show();
    m_notice->repaint();
}

std::string QtUserInterface::SearchNoticeText()
{
    return m_noticePorts != nullptr ? m_noticePorts->text().toStdString() : std::string();
}

void QtUserInterface::SetSearchNoticeText(const std::string& text)
{
    if (m_noticePorts == nullptr)
        return;
    m_noticePorts->setText(QString::fromStdString(text));
    m_notice->repaint();
}

void QtUserInterface::CloseSearchNotice()
{
    m_noticePorts = nullptr;
    m_notice.reset();
}

MsgResult QtUserInterface::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                       MsgButtons buttons)
{
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    QApplication::activeWindow());
    int answer = box.exec();
    if (buttons == MsgButtons::Ok)
        return MsgResult::Ok;
    return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}

int QtUserInterface::RunConfirmDlg()
{
    // The confirmation window shows the selection it would check; its check
    // and the flashing run are not wired to it yet.
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Modem Flash Loader - Input Confirmation"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Port:"), new QLabel(FromField(FieldText(FlashSelection.PortName))));
    form->addRow(QStringLiteral("Baud Rate:"), new QLabel(QString::number(FlashSelection.BaudRate)));
    form->addRow(QStringLiteral("Loading File:"), new QLabel(FromField(FieldText(FlashSelection.HexFilePath))));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("Change Inputs"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    return dialog.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void QtUserInterface::RunWizard(CLoaderApp& /*app*/)
{
    QDialog wizard;
    wizard.setWindowTitle(QStringLiteral("Modem Flash Loader - Welcome"));
    auto* layout = new QVBoxLayout(&wizard);
    layout->addWidget(new QLabel(QStringLiteral("       Welcome to the modem flash loader. ")));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &wizard, &QDialog::reject);
    layout->addWidget(buttons);
    wizard.exec();
}
