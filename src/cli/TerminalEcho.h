#pragma once

// While alive, keeps what is typed on the standard input from being shown,
// when the standard input is a terminal; otherwise does nothing.
class TerminalEcho {
public:
    TerminalEcho();
    ~TerminalEcho();
    TerminalEcho(const TerminalEcho&) = delete;
    TerminalEcho& operator=(const TerminalEcho&) = delete;

    static bool inputIsTerminal();

private:
    bool m_changed = false;
    unsigned long m_saved = 0; // console mode or termios local flags
};
