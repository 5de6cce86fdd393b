#pragma once

#include <QtGlobal>

// Whether a web page's script dialog (alert, confirm, prompt) still shows. Dialogs no longer
// stop the page, so a script that asks in a loop would bring one window after another. After a
// few in a row the page's dialogs are dropped for as long as the page lives; a page that asks
// now and then, once its earlier dialogs are answered, keeps being heard.
class ScriptDialogThrottle
{
public:
    // This many dialogs in a row still show; the next one stops the page's dialogs.
    static constexpr int DialogsInARow = 3;
    // A dialog asked for within this time after the one before belongs to the same row; so does
    // one asked for while an earlier one is still on screen.
    static constexpr qint64 RowGapMs = 5000;

    // The page asks for a dialog at `nowMs` (a steady clock): true when it may show.
    bool admit(qint64 nowMs, bool earlierStillOpen);
    bool suppressed() const { return m_suppressed; }

private:
    int m_inRow = 0;
    qint64 m_lastMs = 0;
    bool m_suppressed = false;
};
