#pragma once
// The About box: product name and version, company name and slogan, as the
// settings file gave them at start-up.

#include "ui/qt/DialogBuilder.h"

#include <QDialog>

class CAboutBox : public QDialog {
public:
    explicit CAboutBox(QWidget* parent = nullptr);
    int DoModal();

private:
    bool OnInitDialog();
    DialogControls m_controls;
};
