// Times the INI key table on 400,000 names (the number that fits a file of
// the largest size read) with the keyed hash and with a hash under which
// every name collides, the worst any file could force; then reads files of
// the largest size through IniFile.
//
//   orvane-bench-keys [RUNS]

#include "BenchKit.h"
#include "storage/IniFile.h"
#include "storage/IniKeyTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

std::uint64_t sameForAll(std::uint64_t, std::uint32_t, QStringView) {
    return 0;
}

using BenchKit::median;

template <typename Work> double medianMs(int runs, Work work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

double tableMs(int runs, const QString& text, const std::vector<std::pair<int, int>>& spans,
               bool collide) {
    return medianMs(runs, [&] {
        IniKeyTable table = collide ? IniKeyTable(&sameForAll, 0) : IniKeyTable();
        for (std::size_t i = 0; i < spans.size(); ++i)
            table.insert(text.constData(), 0, spans[i].first, spans[i].second,
                         IniKeyTable::Entry{int(i), 0, 0});
        for (std::size_t i = spans.size(); i-- > 0;)
            if (!table.find(0, QStringView(text).mid(spans[i].first, spans[i].second)))
                qFatal("name lost");
    });
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc >= 2 ? qMax(1, QByteArray(argv[1]).toInt()) : 5;
    QTextStream out(stdout);

    const int names = 400000;
    QString text;
    std::vector<std::pair<int, int>> spans;
    for (int n = 0; n < names; ++n) {
        const QString name = QStringLiteral("CLAVE%1").arg(n);
        spans.emplace_back(int(text.size()), int(name.size()));
        text += name;
    }
    const double keyed = tableMs(runs, text, spans, false);
    const double colliding = tableMs(runs, text, spans, true);
    out << "Key table, " << names << " names inserted and found, median of " << runs << " runs\n"
        << "  keyed hash:                 " << QString::number(keyed, 'f', 1) << " ms\n"
        << "  every name the same hash:   " << QString::number(colliding, 'f', 1) << " ms ("
        << QString::number(colliding / keyed, 'f', 1) << " times)\n";

    QTemporaryDir dir;
    const qint64 size = IniFile::MaxFileSize - 1024;
    QByteArray keys = "[S]\n", sections;
    for (int n = 0; keys.size() < size; ++n)
        keys += "CLAVE" + QByteArray::number(n) + "=v\n";
    for (int n = 0; sections.size() < size; ++n)
        sections += "[S" + QByteArray::number(n) + "]\nK=v\n";
    const QString keysPath = dir.filePath(QStringLiteral("keys.ini"));
    const QString sectionsPath = dir.filePath(QStringLiteral("sections.ini"));
    writeFile(keysPath, keys.left(size));
    writeFile(sectionsPath, sections.left(size));
    out << "IniFile read of " << QString::number(double(size) / 1048576.0, 'f', 1) << " MB\n";
    for (const auto& [label, path] : {std::pair{"distinct keys in one section", keysPath},
                                      std::pair{"one key per section", sectionsPath}}) {
        const double ms = medianMs(runs, [&] { IniFile ini(path, true); });
        out << "  " << label << ": " << QString::number(ms, 'f', 0) << " ms\n";
    }
    return 0;
}
