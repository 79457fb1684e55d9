#include "gui/gui_lineedit.h"

#include "app/app_number.h"
#include "gui/gui_style.h"

#include <QLocale>

#include <cmath>

GuiLineEdit::GuiLineEdit(QWidget *parent)
    : QLineEdit(parent), m_validator(this), m_valid(false), m_edited(false), m_format('g'), m_precision(6)
{
    // Numbers are read the same on every machine: a point for decimals and no
    // group separators, so "1,000" is refused instead of being read as 0.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    m_validator.setLocale(c);

    // The validator is deliberately not installed: typing stays free and the
    // text is judged only when the edit is finished.
    connect(this, &QLineEdit::textChanged, this, &GuiLineEdit::onValueChanged);
    connect(this, &QLineEdit::editingFinished, this, &GuiLineEdit::onEditingFinished);
}

GuiLineEdit::~GuiLineEdit() = default;

void GuiLineEdit::setFormat(char format, int precision)
{
    m_format = format;
    m_precision = precision;
}

void GuiLineEdit::setRange(double bottom, double top, double decimals)
{
    m_validator.setRange(bottom, top, static_cast<int>(decimals));
}

void GuiLineEdit::setBottom(double bottom)
{
    m_validator.setBottom(bottom);
}

void GuiLineEdit::setTop(double top)
{
    m_validator.setTop(top);
}

void GuiLineEdit::setAlsoTakes(double value)
{
    m_alsoTakes = value;
}

void GuiLineEdit::setDefaultText(const QString &text)
{
    m_defaultText = text;
    if (this->text().simplified().isEmpty())
        setText(m_defaultText);
}

void GuiLineEdit::clear()
{
    // Through setText, not QLineEdit::clear(): the latter counts as a user
    // modification, so the field would neither check itself nor announce a
    // programmatic change.
    setText(QString());
    setText(m_defaultText);
}

bool GuiLineEdit::isValid() const
{
    return m_valid;
}

bool GuiLineEdit::takes(const QString &text) const
{
    QString probe = text;
    int pos = 0;
    double value = 0;
    if (!AppNumber::fromText(text, &value))
        return false;
    return m_validator.validate(probe, pos) == QValidator::Acceptable || (m_alsoTakes && value == *m_alsoTakes);
}

void GuiLineEdit::revertValue() { }

void GuiLineEdit::validateAndFormat()
{
    m_valid = false;
    setStyleSheet(QString());

    const QString current = text();
    if (current.simplified().isEmpty()) {
        if (m_defaultText.simplified().isEmpty())
            return;
        // Valid first: writing the default text re-enters this check, which
        // clears the flag again should the default text itself be rejected.
        m_valid = true;
        setText(m_defaultText);
        return;
    }

    double value = 0;
    if (!takes(current) || !AppNumber::fromText(current, &value)) {
        setStyleSheet(QStringLiteral("QLineEdit{") + QLatin1String(GuiStyle::invalidBackground) + QStringLiteral("}"));
        return;
    }

    m_valid = true;
    // A rewrite longer than the field's maximum length would be cut into
    // another number (1e308 in 'f' format to 100000000000); the text as typed
    // already fits and means the same value.
    // A fixed-point figure of 1e15 and more would write every digit of its
    // integer part, up to 309 of them, more than a double holds: such a
    // figure is shown with its exponent, in the digits a double has.
    const QString formatted = m_format == 'f' && std::fabs(value) >= 1e15
        ? AppNumber::toText(value)
        : QString::number(value, m_format, m_precision);
    if (formatted.size() > maxLength())
        return;
    const bool wasBlocked = blockSignals(true);
    setText(formatted);
    blockSignals(wasBlocked);
}

void GuiLineEdit::onValueChanged()
{
    if (!isModified()) {
        validateAndFormat();
        emit sigValueChanged();
    } else {
        m_edited = true;
    }
}

void GuiLineEdit::onEditingFinished()
{
    validateAndFormat();
    if (m_edited) {
        m_edited = false;
        emit sigValueEdited();
    }
}
