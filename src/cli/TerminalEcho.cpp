#include "cli/TerminalEcho.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>

bool TerminalEcho::inputIsTerminal() {
    return _isatty(0) != 0;
}

TerminalEcho::TerminalEcho() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (inputIsTerminal() && GetConsoleMode(input, &mode)) {
        m_saved = mode;
        m_changed = SetConsoleMode(input, mode & ~DWORD(ENABLE_ECHO_INPUT)) != 0;
    }
}

TerminalEcho::~TerminalEcho() {
    if (m_changed)
        SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), DWORD(m_saved));
}
#else
#include <termios.h>
#include <unistd.h>

bool TerminalEcho::inputIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

TerminalEcho::TerminalEcho() {
    termios settings{};
    if (inputIsTerminal() && tcgetattr(STDIN_FILENO, &settings) == 0) {
        m_saved = settings.c_lflag;
        settings.c_lflag &= ~tcflag_t(ECHO);
        m_changed = tcsetattr(STDIN_FILENO, TCSAFLUSH, &settings) == 0;
    }
}

TerminalEcho::~TerminalEcho() {
    termios settings{};
    if (m_changed && tcgetattr(STDIN_FILENO, &settings) == 0) {
        settings.c_lflag = tcflag_t(m_saved);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &settings);
    }
}
#endif
