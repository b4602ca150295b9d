#include "WindowTestCase.h"

#include "app/uAdmon.h"
#include "app/uAutoFirma.h"
#include "app/uPrincipal.h"
#include "app/uRegistro.h"
#include "signing/InstalledPrograms.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>

#include <memory>

using namespace WindowTestKit;

namespace {

class NoPrograms : public InstalledPrograms {
public:
    QStringList displayNames() const override { return {}; }
};

// The letter a text marks as its accelerator ("&&" is a plain ampersand),
// upper-cased; null when it marks none.
QChar acceleratorOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != u'&')
            continue;
        if (text.at(i + 1) != u'&')
            return text.at(i + 1).toUpper();
        ++i;
    }
    return {};
}

QRect onWindow(const QWidget* widget) {
    return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

} // namespace

// Every box of every window has a label whose accelerator, if any, reaches it.
class tst_WindowBoxes : public WindowTestCase {
    Q_OBJECT
private slots:
    void init() { startWindowTest(); }
    void cleanup() { endWindowTest(); }

    void everyBoxHasALabel_data() {
        QTest::addColumn<QString>("window");
        // Boxes that share the caption of a labelled box on their row (the
        // parts of a bank account, the invoice's series, the withholding's
        // amount beside its rate): each must say what it is by itself.
        QTest::addColumn<QStringList>("parts");
        const QStringList account{"Edit14", "Edit15", "Edit16"};
        QTest::newRow("administration") << "admon" << QStringList();
        QTest::newRow("signing") << "firma" << QStringList();
        // The list of causes beside the reason it shows.
        const QStringList issuer = account + QStringList{"CausaMotivo"};
        QTest::newRow("issuer, legal entity") << "issuer" << issuer;
        QTest::newRow("issuer, natural person") << "issuer person" << issuer;
        QTest::newRow("main, legal entities") << "main" << account + QStringList{"Edit24", "eIRPF"};
        QTest::newRow("main, natural persons")
            << "main persons" << account + QStringList{"Edit24", "eIRPF"};
    }
    void everyBoxHasALabel() {
        QFETCH(QString, window);
        QFETCH(QStringList, parts);
        std::unique_ptr<QWidget> w = open(window);
        QVERIFY(w);

        // Boxes: line edits of their own, lists, date and number boxes (whose
        // inner line edit is part of them).
        QList<QWidget*> boxes;
        for (QLineEdit* e : w->findChildren<QLineEdit*>()) {
            QWidget* holder = e->parentWidget();
            if (!qobject_cast<QComboBox*>(holder) && !qobject_cast<QAbstractSpinBox*>(holder) &&
                e->isVisible())
                boxes << e;
        }
        for (QComboBox* c : w->findChildren<QComboBox*>())
            if (c->isVisible())
                boxes << c;
        for (QAbstractSpinBox* s : w->findChildren<QAbstractSpinBox*>())
            if (s->isVisible())
                boxes << s;
        QVERIFY(boxes.size() >= 4);

        QList<QLabel*> labels;
        for (QLabel* label : w->findChildren<QLabel*>())
            if (label->isVisible())
                labels << label;
        QSet<QWidget*> labelled;
        for (QLabel* label : labels) {
            if (label->buddy())
                labelled << label->buddy();
            else // an accelerator with nowhere to go is dead
                QVERIFY2(acceleratorOf(label->text()).isNull(), qPrintable(label->text()));
        }
        for (QWidget* box : boxes) {
            if (labelled.contains(box))
                continue;
            QVERIFY2(parts.contains(box->objectName()),
                     qPrintable(box->objectName() + QStringLiteral(" has no label")));
            QVERIFY2(!box->accessibleName().isEmpty(), qPrintable(box->objectName()));
            const int middle = onWindow(box).center().y();
            QVERIFY2(std::any_of(labelled.cbegin(), labelled.cend(),
                                 [&](QWidget* other) {
                                     return boxes.contains(other) &&
                                            qAbs(onWindow(other).center().y() - middle) <= 4;
                                 }),
                     qPrintable(box->objectName() + QStringLiteral(" has no labelled box beside")));
        }
        for (const QString& part : parts) // the table keeps up with the window
            QVERIFY2(std::any_of(boxes.cbegin(), boxes.cend(),
                                 [&](QWidget* box) {
                                     return box->objectName() == part && !labelled.contains(box);
                                 }),
                     qPrintable(part));

        // One letter, one place: captions, buttons, group titles and the menu
        // bar's titles; two users of a letter make both dead.
        QMap<QChar, QString> owners;
        auto claim = [&](const QString& text) {
            const QChar key = acceleratorOf(text);
            if (key.isNull())
                return true;
            if (owners.contains(key)) {
                qWarning("%s and %s share the accelerator %s", qPrintable(owners.value(key)),
                         qPrintable(text), qPrintable(QString(key)));
                return false;
            }
            owners.insert(key, text);
            return true;
        };
        for (QLabel* label : labels)
            QVERIFY(claim(label->text()));
        for (QAbstractButton* button : w->findChildren<QAbstractButton*>())
            if (button->isVisible())
                QVERIFY(claim(button->text()));
        for (QGroupBox* group : w->findChildren<QGroupBox*>())
            if (group->isVisible())
                QVERIFY(claim(group->title()));
        if (QMenuBar* bar = w->findChild<QMenuBar*>()) {
            QVERIFY(!bar->actions().isEmpty());
            for (QAction* menu : bar->actions())
                QVERIFY(claim(menu->text()));
        }

        // Alt with a caption's letter puts the keyboard in its box; with a
        // group's letter, somewhere inside the group.
        auto press = [&](QChar key) {
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w.get()));
            QTest::keyClick(w.get(), key.toLatin1(), Qt::AltModifier);
        };
        for (QLabel* label : labels) {
            const QChar key = acceleratorOf(label->text());
            if (key.isNull())
                continue;
            press(key);
            QVERIFY2(QApplication::focusWidget() == label->buddy(), qPrintable(label->text()));
        }
        for (QGroupBox* group : w->findChildren<QGroupBox*>()) {
            const QChar key = acceleratorOf(group->title());
            if (key.isNull() || !group->isVisible())
                continue;
            press(key);
            QVERIFY2(group->isAncestorOf(QApplication::focusWidget()), qPrintable(group->title()));
        }
    }

private:
    std::unique_ptr<QWidget> open(const QString& window) {
        std::unique_ptr<QWidget> w;
        if (window == QLatin1String("admon")) {
            w = std::make_unique<TFormAdmon>(m_dir.path());
        } else if (window == QLatin1String("firma")) {
            w = std::make_unique<TFormAutoFirma>(m_dir.path(), nullptr, &m_programs);
        } else if (window.startsWith(QLatin1String("issuer"))) {
            w = std::make_unique<TFormRegistro>(m_dir.path());
        } else {
            // The main window shows the issuer's kind from Registro.Ini.
            if (window.endsWith(QLatin1String("persons")))
                WindowTestKit::writeFile(m_dir.path(), QStringLiteral("Registro.Ini"),
                                         QStringLiteral("[MISDATOS]\nPERSONA=F\n"));
            w = openWindow(m_dir.path());
            QFile::remove(m_dir.filePath(QStringLiteral("Registro.Ini")));
            if (!w)
                return nullptr;
        }
        w->show();
        // The other kind shows the first name and surnames in place of the
        // corporate name, and the name caption leads to the first name.
        if (window.endsWith(QLatin1String("person")))
            child<QRadioButton>(*w, "RadioButton4")->click();
        if (window.endsWith(QLatin1String("persons"))) {
            child<QRadioButton>(*w, "RadioButton6")->click();
            if (!child<QLineEdit>(*w, "Edit18")->isVisible() ||
                !child<QLineEdit>(*w, "Edit21")->isVisible())
                return nullptr;
        }
        return w;
    }

    NoPrograms m_programs;
};

QTEST_MAIN(tst_WindowBoxes)
#include "tst_WindowBoxes.moc"
