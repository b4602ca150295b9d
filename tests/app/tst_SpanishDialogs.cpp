#include "widgets/SpanishDialogs.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// Qt's own dialogs speak Spanish whatever the desktop: its catalogue's texts,
// ours where it has none, and sizes written the Spanish way.
class tst_SpanishDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        SpanishDialogs::install();
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); // as the program does
    }

    void qtTextsInSpanish_data() {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("spanish");
        QTest::newRow("file dialog button") << "QFileDialog"
                                            << "&Save"
                                            << "&Guardar";
        QTest::newRow("file dialog column") << "QFileSystemModel"
                                            << "Size"
                                            << "Tamaño";
        QTest::newRow("message box button") << "QPlatformTheme"
                                            << "Cancel"
                                            << "Cancelar";
        // Missing from Qt's catalogue: the kinds of file.
        QTest::newRow("folder kind") << "QAbstractFileIconProvider"
                                     << "Folder"
                                     << "Carpeta";
        QTest::newRow("file kind") << "QAbstractFileIconProvider"
                                   << "%1 File"
                                   << "Fichero %1";
    }
    void qtTextsInSpanish() {
        QFETCH(QString, context);
        QFETCH(QString, english);
        QFETCH(QString, spanish);
        QCOMPARE(QCoreApplication::translate(context.toLatin1(), english.toUtf8()), spanish);
    }

    // Files are named by the system's file types, in the program's language;
    // a folder by Qt itself.
    void aFolderAsTheDialogShowsIt() {
        QTemporaryDir dir;
        QCOMPARE(QFileIconProvider().type(QFileInfo(dir.path())), QStringLiteral("Carpeta"));
    }

    void qtsOwnDialogs() {
        QVERIFY(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs));
        QFileDialog dialog;
        SpanishDialogs::prepare(dialog);
        QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
    }

    // Sizes and dates written the Spanish way.
    void sizesTheSpanishWay_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("bytes") << qint64(512) << "512 bytes";
        QTest::newRow("kilobytes") << qint64(123456) << "120,6 kB";
        QTest::newRow("megabytes") << qint64(5000000) << "4,8 MB";
    }
    void sizesTheSpanishWay() {
        QFETCH(qint64, bytes);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("copia.pdf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(bytes));
        file.close();
        QFileDialog dialog(nullptr, QString(), dir.path());
        SpanishDialogs::prepare(dialog);
        QAbstractProxyModel* view = dialog.proxyModel();
        QVERIFY(view);
        auto* files = qobject_cast<QFileSystemModel*>(view->sourceModel());
        QVERIFY(files);
        const QModelIndex name = files->index(file.fileName());
        QTRY_COMPARE(files->size(name), bytes);
        QCOMPARE(view->mapFromSource(files->index(name.row(), 1, name.parent())).data().toString(),
                 shown);
        const QString modified =
            view->mapFromSource(files->index(name.row(), 3, name.parent())).data().toString();
        QCOMPARE(modified, files->lastModified(name).toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    }
};

QTEST_MAIN(tst_SpanishDialogs)
#include "tst_SpanishDialogs.moc"
