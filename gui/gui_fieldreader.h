#ifndef GUI_FIELDREADER_H
#define GUI_FIELDREADER_H

#include <QString>
#include <QStringList>
#include <QVariant>

class QLineEdit;

// What a save reads of a form's numeric fields: the number each holds, NULL
// for an empty one. A text that is no number the field takes is never stored
// as nothing: the reader names it, with its field, and the save is refused.
class GuiFieldReader
{
public:
    // The field's number (times factor), or NULL when it is empty or refused.
    QVariant number(const QLineEdit *field, const QString &what, double factor = 1.0);
    // The same for a text without a field of its own (a table cell).
    QVariant number(const QString &text, const QString &what);
    // A text the form holds that is not what its field takes, in words.
    void refuse(const QString &what, const QString &text, const QString &why = QString());

    bool refusedAny() const { return !m_refusals.isEmpty(); }
    // One line per refused field: its name and its text.
    QStringList refusals() const { return m_refusals; }

private:
    QStringList m_refusals;
};

#endif
