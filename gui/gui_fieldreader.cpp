#include "gui/gui_fieldreader.h"

#include "app/app_number.h"
#include "gui/gui_lineedit.h"

namespace {

const QVariant nullNumber(QVariant::Double);

} // namespace

QVariant GuiFieldReader::number(const QLineEdit *field, const QString &what, double factor)
{
    const QString text = field->text();
    if (text.simplified().isEmpty())
        return nullNumber;
    double value = 0.0;
    // A numeric field takes only what is within its range; a plain line edit any finite number.
    const auto *numeric = qobject_cast<const GuiLineEdit *>(field);
    const bool taken = (!numeric || numeric->takes(text)) && AppNumber::fromText(text, &value);
    if (!taken) {
        refuse(what, text);
        return nullNumber;
    }
    return QVariant(value * factor);
}

QVariant GuiFieldReader::number(const QString &text, const QString &what)
{
    if (text.simplified().isEmpty())
        return nullNumber;
    double value = 0.0;
    if (!AppNumber::fromText(text, &value)) {
        refuse(what, text);
        return nullNumber;
    }
    return QVariant(value);
}

void GuiFieldReader::refuse(const QString &what, const QString &text, const QString &why)
{
    m_refusals
        << QStringLiteral("%1: \"%2\"%3").arg(what, text, why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why));
}
