#pragma once

// The hourglass for the length of a scope; restore() ends it early (before a message box).
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    void restore();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_on = true;
};
