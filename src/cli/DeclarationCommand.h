#pragma once

#include <QStringList>

class QTextStream;

// orvane-cli declaration [-o OUT.pdf]
// The declaration of conformity of this version as a PDF, to OUT or to
// declaracion-responsable.pdf in the current folder. Returns 0 written, 1 it
// could not be written, 2 a usage error. Runs under a QGuiApplication on the
// offscreen platform.
int runDeclaration(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                   QTextStream& err);
