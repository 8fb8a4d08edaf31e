#pragma once
// Requests to the window manager that the toolkit cannot express itself.

class QWidget;

// A caption and a border, but no close, minimise or maximise button and no
// window menu: the window can only be moved. Asked of the window manager
// through the Motif hints that X window managers read; each manager grants
// what its rules allow (some always keep a close box, whose request the
// window then ignores while it must not close). Nothing happens on other
// platforms. Call again after the window is shown: the toolkit may have
// written its own hints meanwhile.
void AskForCaptionWithoutButtons(QWidget* window);
