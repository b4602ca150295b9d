#pragma once

#include <QString>

// "Ver. 1.0.1.0": the version compiled into the program.
QString GetVersionText();
