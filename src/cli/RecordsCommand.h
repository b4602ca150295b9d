#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// orvane-cli records list | show | verify | export | cancel: the billing
// records kept in the book of --home.
int runRecords(const QStringList& arguments, const QString& toolDir, QTextStream& out,
               QTextStream& err);
