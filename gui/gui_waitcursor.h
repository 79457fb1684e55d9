#ifndef GUI_WAITCURSOR_H
#define GUI_WAITCURSOR_H

#include <QApplication>

// The wait cursor of one long operation, restored exactly once on every way
// out. restore() gives it back early, before a box the person must read.
class GuiWaitCursor
{
public:
    GuiWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~GuiWaitCursor() { restore(); }
    GuiWaitCursor(const GuiWaitCursor &) = delete;
    GuiWaitCursor &operator=(const GuiWaitCursor &) = delete;

    void restore()
    {
        if (m_set)
            QApplication::restoreOverrideCursor();
        m_set = false;
    }

private:
    bool m_set = true;
};

#endif
