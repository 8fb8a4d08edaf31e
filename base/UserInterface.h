#pragma once
// What the engine shows to a person goes through these interfaces: the
// windows implement them, the command line implements them for a terminal,
// and the tests implement them with answers given in advance.

#include "base/Version.h"

#include <string>

class CLoaderApp;

// The title of the program's own message boxes where no other is given:
// the product's name, as its windows' titles and its menu entry say it (a
// box titled by the executable's file name reads as a stray one).
inline constexpr const char* kApplicationName = kProductDisplayName;

enum class MsgIcon { None, Stop, Question, Warning, Information };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

// Results of a modal window, as the windows report them.
// (The Windows headers define both with the same values.)
#ifndef IDOK
inline constexpr int IDOK = 1;
#endif
#ifndef IDCANCEL
inline constexpr int IDCANCEL = 2;
#endif

class MessageUi {
public:
    virtual ~MessageUi() = default;
    // A message box: shown, and waited for until the person has answered.
    // YesNo offers Yes and No with No as the default answer.
    virtual MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                  MsgButtons buttons = MsgButtons::Ok) = 0;
};

// What a scan for modems shows: a notice that stands while the ports are
// probed one after the other, naming those tried so far.
class ScanUi : public MessageUi {
public:
    virtual void ShowSearchNotice() = 0;
    virtual std::string SearchNoticeText() = 0;
    // Shown at once: no event loop runs while the ports are probed.
    virtual void SetSearchNoticeText(const std::string& text) = 0;
    virtual void CloseSearchNotice() = 0;
    // Whether the ports may be probed all at the same time: a silent port
    // then costs its time limit once for all instead of once each. The
    // windows probe one port after the other, naming each in the notice.
    virtual bool ProbesAllAtOnce() const { return false; }
};

class StartupUi : public ScanUi {
public:
    // The confirmation window on the current selection, run modally; IDOK
    // when it ended with Close after a run.
    virtual int RunConfirmDlg() = 0;
    // The wizard, run modally; returns when it has ended, however it ended.
    virtual void RunWizard(CLoaderApp& app) = 0;
};
