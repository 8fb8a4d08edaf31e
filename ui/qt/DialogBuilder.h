#pragma once
// Builds a fixed-size window from its template: every control at its place,
// dialog units converted to pixels with the template font's average
// character width and height, as the classic dialog manager does.

#include "resources/DialogTemplates.h"

#include <QFont>
#include <QRect>
#include <map>

class QWidget;

struct DialogUnits {
    int baseX;  // average character width in pixels
    int baseY;  // character height in pixels

    int X(int units) const { return (units * baseX + 2) / 4; }
    int Y(int units) const { return (units * baseY + 4) / 8; }
    QRect Rect(int x, int y, int width, int height) const { return {X(x), Y(y), X(width), Y(height)}; }
};

QFont TemplateFont(const DialogTemplate& dialog);
DialogUnits UnitsOf(const QFont& font);

// The controls of a built window by id (controls without an id are not in it).
class DialogControls {
public:
    QWidget* operator[](int id) const;
    template <class T>
    T* Get(int id) const
    {
        return static_cast<T*>((*this)[id]);
    }
    std::map<int, QWidget*> widgets;
};

// Sets a static control's text. A one-line control whose text is wider than
// its box grows around the side it is aligned to instead of cutting it.
void SetControlText(QWidget* control, const QString& text);

// Sets a one-line static control to a path that keeps its file name in view:
// the control grows as far as the window's margin, and a path longer than
// that loses characters in its middle. The whole path is the tooltip.
void SetPathText(QWidget* control, const QString& path);

// Creates the template's controls as children of window, sets its font and
// fixes its size. Returns the controls by id.
DialogControls BuildDialog(int templateId, QWidget* window);
