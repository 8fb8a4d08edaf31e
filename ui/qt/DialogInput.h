#pragma once
// What a person types and clicks, where the windows treat it as a classic
// dialog does: input given while the program waits goes nowhere, and Return
// presses the focused push button, else the default one.

class QKeyEvent;
class QWidget;

// Lets the windows paint themselves, run their timers and answer the window
// manager, and throws away what the person typed or clicked meanwhile: a
// key or click given while the modem is busy must not press a button that
// is enabled afterwards (Close, at the end of a run).
void PumpDiscardingInput();

// For a dialog's key handler: Return or Enter with a push button of the
// dialog focused presses that button. Returns false for every other key and
// when the focus is elsewhere (then the dialog's own handling presses the
// default button). A picture button is no push button here: Return on it
// goes to the default button, as on a classic dialog.
bool PressFocusedButton(QWidget* dialog, QKeyEvent* event);
