#include "common/AppError.h"
#include "records/ConformityDeclaration.h"
#include "records/DeclarationTexts.h"
#include "records/ProducerData.h"

#include "Version.h"

#include <QTest>

// The declaration of conformity: every item with its label in the law's
// order, "pendiente" for what the producer has not filled in, the statement
// naming the rules of the data file, and the data files themselves.
class tst_ConformityDeclaration : public QObject {
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void builtIn();
    void textsFile_data();
    void textsFile();
};

namespace {

// A producer who has filled in the address only (the tax id is blank), of a
// system that serves several taxpayers; subscribed on a date, place not yet.
ConformityDeclaration sample() {
    const ProducerData producer = ProducerData::fromJson(R"({
        "producer": {"name": "", "taxId": "  ", "address": "Rúa Nova, 40, 27002 Lugo, España"},
        "system": {"name": "Orvane", "id": "OV",
                   "components": ["orvane: ventana", "orvane-cli: órdenes"],
                   "functions": [],
                   "onlyVerifactu": false, "multipleTaxpayersPossible": true,
                   "signatureTypes": "XAdES Enveloped"}})",
                                                         QStringLiteral("2.3.4.5"));
    const DeclarationTexts texts = DeclarationTexts::fromJson(R"({
        "compliance": ["la norma A", "la norma B, de 1 de enero", "la norma C"],
        "subscribed": {"date": "2025-03-07", "place": ""}})");
    return ConformityDeclaration::compose(producer, texts);
}

} // namespace

void tst_ConformityDeclaration::entries_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    int position = 0;
    const auto row = [&position](const char* label, const char* value) {
        QTest::newRow(label) << position++ << QString::fromUtf8(label) << QString::fromUtf8(value);
    };
    row("Nombre del sistema informático", "Orvane");
    row("Código identificador del sistema informático", "OV");
    row("Identificador completo de la versión", "2.3.4.5");
    row("Componentes del sistema informático", "orvane: ventana\norvane-cli: órdenes");
    row("Descripción y principales funcionalidades", "pendiente");
    row("Desarrollado para funcionar exclusivamente como VERI*FACTU", "No");
    row("Permite su uso por varios obligados tributarios o por un mismo usuario para la "
        "facturación de varios obligados tributarios",
        "Sí");
    row("Tipos de firma de los registros de facturación y de evento cuando no se usa como "
        "VERI*FACTU",
        "XAdES Enveloped");
    row("Razón social de la persona o entidad productora", "pendiente");
    row("NIF de la persona o entidad productora", "pendiente");
    row("Dirección postal completa de contacto", "Rúa Nova, 40, 27002 Lugo, España");
    row("Declaración",
        "La persona o entidad productora identificada en esta declaración declara, bajo su "
        "responsabilidad, que el sistema informático de facturación «Orvane», en la versión "
        "2.3.4.5, cumple con lo dispuesto en la norma A; en la norma B, de 1 de enero; y en la "
        "norma C.");
    row("Fecha de suscripción", "7 de marzo de 2025");
    row("Lugar de suscripción", "pendiente");
}

// Each row is the item at its own position: the rows' order is the law's.
void tst_ConformityDeclaration::entries() {
    QFETCH(int, position);
    QFETCH(QString, label);
    QFETCH(QString, value);
    const ConformityDeclaration declaration = sample();
    QCOMPARE(declaration.entries.size(), 14);
    QCOMPARE(declaration.entries[position].label, label);
    QCOMPARE(declaration.entries[position].value, value);
}

void tst_ConformityDeclaration::builtIn() {
    const ConformityDeclaration declaration = ConformityDeclaration::builtIn();
    QCOMPARE(ConformityDeclaration::Title,
             QStringLiteral("DECLARACIÓN RESPONSABLE DEL SISTEMA INFORMÁTICO DE FACTURACIÓN"));
    QCOMPARE(declaration.entries.size(), 14);
    QCOMPARE(declaration.entries[1].value, QStringLiteral("OV"));
    QCOMPARE(declaration.entries[2].value, QStringLiteral(ORVANE_VERSION_STRING));
    for (const ConformityDeclaration::Entry& entry : declaration.entries)
        QVERIFY2(!entry.value.trimmed().isEmpty(), qPrintable(entry.label));
    const QString statement = declaration.entries[11].value;
    for (const char* rule :
         {"el artículo 29.2.j) de la Ley 58/2003, de 17 de diciembre, General Tributaria",
          "aprobado por el Real Decreto 1007/2023, de 5 de diciembre",
          "la Orden HAC/1177/2024, de 17 de octubre",
          "sede electrónica de la Agencia Estatal de Administración Tributaria"})
        QVERIFY2(statement.contains(QString::fromUtf8(rule)), rule);
}

void tst_ConformityDeclaration::textsFile_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("problem"); // empty: read
    QTest::newRow("not yet subscribed")
        << QByteArray(R"({"compliance":["A"],"subscribed":{"date":"","place":""}})") << "";
    QTest::newRow("without the subscribed part") << QByteArray(R"({"compliance":["A"]})") << "";
    QTest::newRow("a day the month lacks")
        << QByteArray(R"({"compliance":["A"],"subscribed":{"date":"2025-02-30"}})")
        << "«2025-02-30» no es una fecha AAAA-MM-DD";
    QTest::newRow("date as written in Spain")
        << QByteArray(R"({"compliance":["A"],"subscribed":{"date":"07/03/2025"}})")
        << "«07/03/2025» no es una fecha";
    QTest::newRow("no rule") << QByteArray(R"({"compliance":["  "]})") << "no nombra ninguna norma";
    QTest::newRow("cut short") << QByteArray(R"({"compliance":["A")") << "no se pueden leer";
}

void tst_ConformityDeclaration::textsFile() {
    QFETCH(QByteArray, json);
    QFETCH(QString, problem);
    try {
        const DeclarationTexts texts = DeclarationTexts::fromJson(json);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(texts.compliance, QStringList{QStringLiteral("A")});
        QVERIFY(texts.subscribedOn.isNull());
    } catch (const AppError& e) {
        QVERIFY2(!problem.isEmpty(), qPrintable(e.message()));
        QVERIFY2(e.message().contains(problem), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(tst_ConformityDeclaration)
#include "tst_ConformityDeclaration.moc"
