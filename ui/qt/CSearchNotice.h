#pragma once
// The notice that stands while the ports are probed: "Searching for
// modems..." and, below it, the ports tried so far. It has no caption and no
// buttons; the scan creates it, changes its second text and destroys it.

#include "ui/qt/DialogBuilder.h"

#include <QDialog>
#include <string>

class CSearchNotice : public QDialog {
public:
    explicit CSearchNotice(QWidget* owner);

    std::string Text() const;
    // Repaints at once: no event loop runs while the ports are probed.
    void SetText(const std::string& text);

private:
    DialogControls m_controls;
    std::string m_text;  // whole, though only its end may be shown
};
