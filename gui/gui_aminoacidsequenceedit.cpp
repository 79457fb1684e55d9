#include "gui/gui_aminoacidsequenceedit.h"

#include "app/app_log.h"

#include <QApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVariant>

namespace {

class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

GuiAminoAcidSequenceEdit::GuiAminoAcidSequenceEdit(QWidget *parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    // Only the stretch a change touched is checked, so typing at the end of a
    // long sequence costs the same as at the start of a short one.
    connect(document(), &QTextDocument::contentsChange, this, &GuiAminoAcidSequenceEdit::onContentsChange);
    connect(this, &QTextEdit::textChanged, this, &GuiAminoAcidSequenceEdit::onTextChanged);
}

GuiAminoAcidSequenceEdit::~GuiAminoAcidSequenceEdit() = default;

void GuiAminoAcidSequenceEdit::setDatabasePath(QString const &path)
{
    m_databasePath = path;
    m_database = QSqlDatabase::database(path, true);
}

void GuiAminoAcidSequenceEdit::clear()
{
    QTextEdit::clear();
    populateCodeTables();
    m_rowCount = 0;
    emit sigRowCountChanged(0);
}

void GuiAminoAcidSequenceEdit::populateCodeTables()
{
    m_oneLetter.clear();
    m_threeLetter.clear();
    QSqlQuery query(m_database);
    if (!query.exec(QStringLiteral("SELECT id, Namethree, nameone FROM amino"))) {
        QMessageBox::critical(nullptr, QStringLiteral("Vornakel Error"), query.lastError().text(), QMessageBox::Ok);
        return;
    }
    while (query.next()) {
        const QString code = query.value(2).toString();
        m_oneLetter.insert(code, query.value(0).toInt());
        m_threeLetter.insert(query.value(1).toString(), code);
        qCDebug(lcGui) << "codes:" << query.value(0).toInt() << query.value(1).toString() << code;
    }
}

QString GuiAminoAcidSequenceEdit::filtered(const QString &text) const
{
    // Each character against the set of codes: a code such as "]" or "-" is
    // an ordinary character here, never part of a pattern.
    QString out;
    out.reserve(text.size());
    for (const QChar c : text.toUpper())
        if (m_oneLetter.contains(QString(c)))
            out += c;
    return out;
}

void GuiAminoAcidSequenceEdit::insertFromMimeData(QMimeData const *source)
{
    if (!source || m_oneLetter.isEmpty())
        return;
    QMimeData kept;
    kept.setText(filtered(source->text()));
    QTextEdit::insertFromMimeData(&kept);
}

void GuiAminoAcidSequenceEdit::onContentsChange(int position, int, int added)
{
    if (m_changedLength == 0) {
        m_changedFrom = position;
        m_changedLength = added;
    } else {
        const int end = std::max(m_changedFrom + m_changedLength, position + added);
        m_changedFrom = std::min(m_changedFrom, position);
        m_changedLength = end - m_changedFrom;
    }
}

void GuiAminoAcidSequenceEdit::onTextChanged()
{
    const int from = m_changedFrom;
    const int length = m_changedLength;
    m_changedFrom = 0;
    m_changedLength = 0;

    QTextDocument *doc = document();
    const int last = doc->characterCount() - 1; // without the document's closing separator
    const int end = std::min(from + length, last);
    if (end > from) {
        // Upper-case what was added and drop what is no code, from the end so
        // that positions stay valid; the cursor and the scroll position stay.
        QTextCursor changed(doc);
        changed.setPosition(from);
        changed.setPosition(end, QTextCursor::KeepAnchor);
        const QString added = changed.selectedText();
        QString wanted;
        for (const QChar c : added) {
            const QString upper = QString(c).toUpper();
            if (m_oneLetter.contains(upper))
                wanted += upper;
        }
        if (wanted != added) {
            const int scroll = verticalScrollBar()->value();
            const int position = textCursor().position();
            const int removed = added.size() - wanted.size();
            const QSignalBlocker blocker(this);
            changed.insertText(wanted);
            m_changedFrom = 0;
            m_changedLength = 0;
            QTextCursor place = textCursor();
            place.setPosition(
                std::max(from, std::min(position - (position >= end ? removed : 0), doc->characterCount() - 1)));
            setTextCursor(place);
            verticalScrollBar()->setValue(scroll);
        }
    }
    const int rows = (doc->characterCount() - 1) / 100;
    if (rows != m_rowCount) {
        m_rowCount = rows;
        emit sigRowCountChanged(rows);
    }
}

void GuiAminoAcidSequenceEdit::setSequenceFromFile(QByteArray const &data, bool threeLetter)
{
    const WaitCursor busy;
    QString result;
    if (!threeLetter) {
        for (const char byte : data) {
            const QString code(QChar::fromLatin1(byte));
            if (m_oneLetter.contains(code))
                result += code;
        }
    } else {
        for (int i = 0; i + 3 <= data.size(); i += 3) {
            const QString name = QString::fromLatin1(data.mid(i, 3));
            const auto found = m_threeLetter.constFind(name);
            if (found == m_threeLetter.constEnd()) {
                qCWarning(lcGui).noquote() << QStringLiteral("code: [%1] is not found").arg(name);
                continue;
            }
            result += found.value();
        }
    }
    setPlainText(result);
}

void GuiAminoAcidSequenceEdit::setSequence(QString text, bool threeLetter)
{
    setSequenceFromFile(text.toLocal8Bit(), threeLetter);
}
