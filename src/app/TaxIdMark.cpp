#include "app/TaxIdMark.h"

#include "facturae/TaxIdCheck.h"

#include <QLineEdit>

void TaxIdMark::attach(QLineEdit* edit) {
    if (edit)
        new TaxIdMark(edit);
}

QString TaxIdMark::problemOf(const QString& text) {
    if (text.trimmed().isEmpty())
        return {};
    const TaxIdCheck::Result result = TaxIdCheck::check(text);
    if (result.valid || result.kind == TaxIdCheck::Kind::OtherCountry)
        return {};
    return QStringLiteral("El NIF «%1» no es válido: %2.").arg(text.trimmed(), result.problem);
}

TaxIdMark::TaxIdMark(QLineEdit* edit)
    : QObject(edit), m_edit(edit), m_plainStyle(edit->styleSheet()),
      m_plainToolTip(edit->toolTip()) {
    connect(edit, &QLineEdit::textChanged, this, &TaxIdMark::update);
    update();
}

void TaxIdMark::update() {
    const QString problem = problemOf(m_edit->text());
    m_edit->setProperty("taxIdProblem", !problem.isEmpty());
    m_edit->setStyleSheet(problem.isEmpty()
                              ? m_plainStyle
                              : m_plainStyle + QStringLiteral("QLineEdit { border: 2px solid "
                                                              "#d00000; }"));
    m_edit->setToolTip(problem.isEmpty() ? m_plainToolTip : problem);
}
