#include "ui/qt/UiDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

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

// A message box belongs to the window the person is working in.
QWidget* Owner()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

}  // namespace

MsgResult QtDialogs::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon, MsgButtons buttons)
{
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, Owner());
    if (buttons == MsgButtons::YesNo)
        box.setDefaultButton(QMessageBox::No);
    int answer = box.exec();
    if (buttons == MsgButtons::Ok)
        return MsgResult::Ok;
    return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}

bool QtDialogs::GetOpenFileName(const OpenFileRequest& request, std::string& chosen)
{
    QFileDialog dialog(nullptr, QString::fromStdString(request.title), QString::fromStdString(request.initialDirectory),
                       QStringLiteral("Hex Files (*.hex);;All Files (*.*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    chosen = dialog.selectedFiles().first().toStdString();
    return true;
}
