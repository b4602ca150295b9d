#include "widgets/ListMessageBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int MostLinesInABox = 14;

QLabel* paragraph(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

QStyle::StandardPixmap pictureOf(QMessageBox::Icon icon) {
    switch (icon) {
    case QMessageBox::Information:
        return QStyle::SP_MessageBoxInformation;
    case QMessageBox::Warning:
        return QStyle::SP_MessageBoxWarning;
    case QMessageBox::Critical:
        return QStyle::SP_MessageBoxCritical;
    default:
        return QStyle::SP_MessageBoxQuestion;
    }
}

} // namespace

bool ListMessageBox::needed(const QString& text) {
    return text.count(u'\n') + 1 > MostLinesInABox;
}

ListMessageBox::ListMessageBox(QMessageBox::Icon icon, const QString& caption, const QString& text,
                               QMessageBox::StandardButtons buttons,
                               QMessageBox::StandardButton defaultButton, QWidget* parent)
    : QDialog(parent), m_buttons(buttons) {
    setWindowTitle(caption);
    // "Intro:\n\n• one\n• two\n\n¿Question?": the first paragraph opens, a
    // last one that asks closes, and what lies between is the list.
    QStringList parts = text.split(QStringLiteral("\n\n"));
    const QString opening = parts.size() > 1 ? parts.takeFirst() : QString();
    const QString closing =
        parts.size() > 1 && parts.last().trimmed().endsWith(u'?') ? parts.takeLast() : QString();

    auto* iconLabel = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    if (icon != QMessageBox::NoIcon)
        iconLabel->setPixmap(style()->standardIcon(pictureOf(icon), nullptr, this).pixmap(side));
    iconLabel->setAlignment(Qt::AlignTop);

    auto* column = new QVBoxLayout;
    if (!opening.isEmpty())
        column->addWidget(paragraph(opening, this));
    auto* list = new QPlainTextEdit(parts.join(QStringLiteral("\n\n")), this);
    list->setObjectName(QStringLiteral("ListText"));
    list->setReadOnly(true);
    list->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    column->addWidget(list, 1);
    if (!closing.isEmpty())
        column->addWidget(paragraph(closing, this));

    auto* body = new QHBoxLayout;
    body->addWidget(iconLabel);
    body->addLayout(column, 1);

    auto* box = m_box = new QDialogButtonBox(QDialogButtonBox::StandardButtons(int(buttons)), this);
    connect(box, &QDialogButtonBox::clicked, this, [this, box](QAbstractButton* button) {
        if (box->standardButton(button) == QDialogButtonBox::NoButton)
            return; // the details' button answers nothing
        m_pressed = QMessageBox::StandardButton(int(box->standardButton(button)));
        accept();
    });
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(body, 1);
    m_details = new QPlainTextEdit(this);
    m_details->setObjectName(QStringLiteral("DetailsText"));
    m_details->setReadOnly(true);
    m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_details->setMaximumHeight(140);
    m_details->hide();
    outer->addWidget(m_details);
    outer->addWidget(box);

    // As tall as the list needs, but never taller than most of the screen.
    const int lines = int(list->document()->lineCount()) + 1;
    const int wanted = lines * list->fontMetrics().lineSpacing() + 2 * list->frameWidth() + 8;
    const QScreen* screen = parent ? parent->screen() : this->screen();
    const int room = screen ? screen->availableGeometry().height() * 3 / 5 : 400;
    list->setMinimumHeight(qMin(wanted, room));
    setMinimumWidth(560);
    if (QPushButton* chosen = box->button(QDialogButtonBox::StandardButton(int(defaultButton)))) {
        chosen->setDefault(true);
        chosen->setFocus();
    }
}

void ListMessageBox::setDetails(const QString& details) {
    if (details.isEmpty() || m_details->toPlainText() == details)
        return;
    const bool first = m_details->toPlainText().isEmpty();
    m_details->setPlainText(details);
    if (!first)
        return;
    // Words of Qt's own message box, in the program's language.
    auto* toggle =
        m_box->addButton(QMessageBox::tr("Show Details..."), QDialogButtonBox::ActionRole);
    toggle->setObjectName(QStringLiteral("DetailsButton"));
    toggle->setAutoDefault(false);
    connect(toggle, &QPushButton::clicked, this, [this, toggle] {
        const bool show = m_details->isHidden();
        m_details->setVisible(show);
        toggle->setText(show ? QMessageBox::tr("Hide Details...")
                             : QMessageBox::tr("Show Details..."));
    });
}

QMessageBox::StandardButton ListMessageBox::ask() {
    m_pressed = QMessageBox::NoButton;
    if (exec() == QDialog::Accepted && m_pressed != QMessageBox::NoButton)
        return m_pressed;
    return m_buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::Ok;
}
