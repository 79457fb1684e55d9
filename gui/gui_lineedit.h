#ifndef GUI_LINEEDIT_H
#define GUI_LINEEDIT_H

#include <QDoubleValidator>
#include <QLineEdit>
#include <QString>

#include <optional>

// The numeric entry field of every form. Typing is never restricted; the text
// is checked when an edit is finished or when the program changes it. A
// rejected entry stays as typed with a red background; an accepted one is
// rewritten in the field's own format. Two signals tell a finished user edit
// (sigValueEdited) from a programmatic change (sigValueChanged).
class GuiLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit GuiLineEdit(QWidget *parent = nullptr);
    ~GuiLineEdit() override;

    void setFormat(char format, int precision);
    void setRange(double bottom, double top, double decimals);
    void setBottom(double bottom);
    void setTop(double top);
    // One value below the range that the field takes all the same, with its
    // own meaning (a speed of 0: none).
    void setAlsoTakes(double value);
    void setDefaultText(const QString &text);
    QString defaultText() const { return m_defaultText; }
    // Empties the field, then writes the default text into it.
    void clear();
    bool isValid() const;
    // Whether the field takes `text` as its value: a finite number within its range.
    bool takes(const QString &text) const;
    void revertValue();
    void validateAndFormat();

public slots:
    void onValueChanged();
    void onEditingFinished();

signals:
    void sigValueChanged();
    void sigValueEdited();

private:
    QDoubleValidator m_validator;
    QString m_defaultText;
    std::optional<double> m_alsoTakes;
    bool m_valid;
    bool m_edited;
    char m_format;
    int m_precision;
};

#endif
