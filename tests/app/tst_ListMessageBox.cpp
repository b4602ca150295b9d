#include "widgets/ListMessageBox.h"
#include "widgets/Prompts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

// The check's findings for an empty invoice are about this long.
QString findings(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("• Error F-P4 en campo %1: el campo está en blanco.").arg(i);
    return QStringLiteral("La factura tiene errores:\n\n%1\n\n¿Guardarla de todos modos?")
        .arg(lines.join(u'\n'));
}

// Presses a button of the box that opens next, once it is up.
void pressWhenShown(QDialogButtonBox::StandardButton which) {
    QTimer::singleShot(0, [which] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(box);
        if (which == QDialogButtonBox::NoButton)
            box->reject();
        else
            box->findChild<QDialogButtonBox*>()->button(which)->click();
    });
}

} // namespace

// A long list in a message keeps the box, and its buttons, on a small screen.
class tst_ListMessageBox : public QObject {
    Q_OBJECT
private slots:
    void longListsScroll() {
        QVERIFY(!ListMessageBox::needed(QStringLiteral("Factura guardada en /tmp/F.XML")));
        QVERIFY(!ListMessageBox::needed(findings(5)));
        QVERIFY(ListMessageBox::needed(findings(25)));

        ListMessageBox box(QMessageBox::Question, QStringLiteral("Orvane"), findings(60),
                           QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY2(box.height() <= box.screen()->availableGeometry().height(),
                 qPrintable(QString::number(box.height())));
        const QString list = box.findChild<QPlainTextEdit*>("ListText")->toPlainText();
        QCOMPARE(list.count(u'\n'), 59);
        QVERIFY(list.startsWith(QStringLiteral("• Error F-P4 en campo 1:")));
        QStringList captions;
        for (const QLabel* label : box.findChildren<QLabel*>())
            if (!label->text().isEmpty())
                captions << label->text();
        QCOMPARE(captions,
                 (QStringList{"La factura tiene errores:", "¿Guardarla de todos modos?"}));
        auto* buttons = box.findChild<QDialogButtonBox*>();
        QVERIFY(buttons->button(QDialogButtonBox::Cancel)->isDefault());
    }

    // The answers as QMessageBox gives them, also through the program's prompts.
    void answers() {
        pressWhenShown(QDialogButtonBox::Ok);
        QVERIFY(Prompts::instance().confirm(nullptr, QStringLiteral("Orvane"), findings(30)));
        pressWhenShown(QDialogButtonBox::Cancel);
        QVERIFY(!Prompts::instance().confirm(nullptr, QStringLiteral("Orvane"), findings(30)));
        pressWhenShown(QDialogButtonBox::NoButton); // Escape
        QVERIFY(!Prompts::instance().confirm(nullptr, QStringLiteral("Orvane"), findings(30)));

        ListMessageBox warning(QMessageBox::Warning, QStringLiteral("Orvane"), findings(30),
                               QMessageBox::Ok, QMessageBox::Ok);
        pressWhenShown(QDialogButtonBox::NoButton);
        QCOMPARE(warning.ask(), QMessageBox::Ok);
    }

    // The details open and close below the list; opening them answers nothing.
    void detailsOnRequest() {
        ListMessageBox box(QMessageBox::Question, QStringLiteral("Orvane"), findings(30),
                           QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
        box.setDetails(QStringLiteral("ERROR F-P4 /Facturae/Parties/SellerParty/CorporateName"));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        auto* details = box.findChild<QPlainTextEdit*>("DetailsText");
        auto* toggle = box.findChild<QPushButton*>("DetailsButton");
        QVERIFY(details && toggle);
        QVERIFY(!details->isVisible());
        toggle->click();
        QVERIFY(box.isVisible());
        QVERIFY(details->isVisible());
        QVERIFY(details->toPlainText().contains(QStringLiteral("F-P4 /Facturae/Parties")));
        toggle->click();
        QVERIFY(!details->isVisible());

        ListMessageBox plain(QMessageBox::Warning, QStringLiteral("Orvane"), findings(30),
                             QMessageBox::Ok, QMessageBox::Ok);
        plain.setDetails(QString());
        QVERIFY(!plain.findChild<QPushButton*>("DetailsButton"));
    }
};

QTEST_MAIN(tst_ListMessageBox)
#include "tst_ListMessageBox.moc"
