#include "widgets/SpanishDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHash>
#include <QIdentityProxyModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Texts Qt's Spanish catalogue leaves in English.
class MissingTexts : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*,
                      int) const override {
        static const QHash<QByteArray, QString> texts{
            {"QAbstractFileIconProvider|Folder", QStringLiteral("Carpeta")},
            {"QAbstractFileIconProvider|File Folder", QStringLiteral("Carpeta")},
            {"QAbstractFileIconProvider|Drive", QStringLiteral("Unidad")},
            {"QAbstractFileIconProvider|File", QStringLiteral("Fichero")},
            {"QAbstractFileIconProvider|%1 File", QStringLiteral("Fichero %1")},
            {"QAbstractFileIconProvider|Alias", QStringLiteral("Alias")},
            {"QAbstractFileIconProvider|Shortcut", QStringLiteral("Acceso directo")},
        };
        return texts.value(QByteArray(context) + '|' + sourceText);
    }
};

// The size and date columns as a Spanish file browser writes them.
class SpanishColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QLocale spanish(QLocale::Spanish, QLocale::Spain);
        if (index.column() == 1 && !files->isDir(source))
            return spanish.formattedDataSize(files->size(source), 1,
                                             QLocale::DataSizeTraditionalFormat);
        if (index.column() == 3)
            return spanish.toString(files->lastModified(source),
                                    QStringLiteral("dd/MM/yyyy HH:mm"));
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

namespace SpanishDialogs {

void install() {
    static MissingTexts missing;
    static QTranslator catalogue;
    static bool done = false;
    if (done)
        return;
    done = true;
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    // Installed first, so Qt's catalogue answers wherever it has a text.
    QCoreApplication::installTranslator(&missing);
    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    for (const QString& dir :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
        if (catalogue.load(spanish, QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
            QCoreApplication::installTranslator(&catalogue);
            break;
        }
    }
}

void prepare(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setProxyModel(new SpanishColumns(&dialog));
}

} // namespace SpanishDialogs
