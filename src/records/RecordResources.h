#pragma once

#include <QByteArray>

// The data files built into the program under records/data.
namespace RecordResources {

// The bytes of one of them; a missing one is a broken build and stops the
// program.
QByteArray read(const char* name);

} // namespace RecordResources
