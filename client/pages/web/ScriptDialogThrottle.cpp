#include "ScriptDialogThrottle.h"

bool ScriptDialogThrottle::admit(qint64 nowMs, bool earlierStillOpen)
{
    if (m_suppressed)
        return false;
    const bool sameRow = m_inRow > 0 && (earlierStillOpen || nowMs - m_lastMs < RowGapMs);
    m_inRow = sameRow ? m_inRow + 1 : 1;
    m_lastMs = nowMs;
    m_suppressed = m_inRow > DialogsInARow;
    return !m_suppressed;
}
