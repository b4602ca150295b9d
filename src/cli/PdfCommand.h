#pragma once

#include <QStringList>

class QTextStream;

// orvane-cli pdf [--home DIR] [-o OUT.pdf] DOC.xml|DOC.xsig...
// The readable copy of each Facturae document, beside it with extension .pdf
// or to OUT. Returns 0 every copy written, 1 a document failed, 2 a usage
// error. Runs under a QGuiApplication on the offscreen platform.
int runPdf(const QStringList& arguments, const QString& toolDir, QTextStream& out,
           QTextStream& err);
