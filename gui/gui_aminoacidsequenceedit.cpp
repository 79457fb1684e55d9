#include "gui/gui_aminoacidsequenceedit.h"

#include "app/app_log.h"
#include "gui/gui_complaints.h"
#include "gui/gui_waitcursor.h"
#include "sql/sql_referencerecords.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVariant>

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
    SqlReferenceRecords records(m_database);
    QVector<SqlReferenceRecords::AminoAcid> residues;
    if (!records.aminoCodes(&residues)) {
        QMessageBox::critical(nullptr, QStringLiteral("Vornakel Error"), records.error(), QMessageBox::Ok);
        return;
    }
    for (const SqlReferenceRecords::AminoAcid &residue : qAsConst(residues)) {
        const QString code = residue.oneLetter.toString();
        const QString threeLetter = residue.threeLetter.toString();
        m_oneLetter.insert(code, static_cast<int>(residue.id));
        m_threeLetter.insert(threeLetter, code);
        qCDebug(lcGui) << "codes:" << static_cast<int>(residue.id) << threeLetter << code;
    }
}

QString GuiAminoAcidSequenceEdit::filtered(const QString &text, QStringList *leftOut) const
{
    // Each character against the set of codes: a code such as "]" or "-" is
    // an ordinary character here, never part of a pattern. Digits, blanks and
    // punctuation lay out a listing; a letter may have been meant as a residue.
    QString out;
    out.reserve(text.size());
    for (const QChar c : text.toUpper()) {
        if (m_oneLetter.contains(QString(c)))
            out += c;
        else if (leftOut && c.isLetter())
            *leftOut << QString(c);
    }
    return out;
}

namespace {

// A code as the box shows it: a byte that prints nothing by its number.
QString shownCode(const QString &code)
{
    QString out;
    for (const QChar c : code)
        out += c.isPrint() ? QString(c) : QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    return out;
}

} // namespace

QStringList GuiAminoAcidSequenceEdit::countedCodes(const QStringList &codes)
{
    QStringList order;
    QHash<QString, int> counts;
    for (const QString &code : codes) {
        if (!counts.contains(code))
            order << code;
        ++counts[code];
    }
    QStringList lines;
    for (const QString &code : qAsConst(order)) {
        const int n = counts.value(code);
        lines << QStringLiteral("'%1' (%2)")
                     .arg(shownCode(code), n == 1 ? QStringLiteral("once") : QStringLiteral("%1 times").arg(n));
    }
    return lines;
}

void GuiAminoAcidSequenceEdit::tellLeftOut(QWidget *parent, const QStringList &codes, const QString &heading)
{
    if (codes.isEmpty())
        return;
    QMessageBox::warning(parent, QStringLiteral("Vornakel"),
        heading + QLatin1Char('\n') + GuiComplaints::text(countedCodes(codes)), QMessageBox::Ok);
}

QByteArray GuiAminoAcidSequenceEdit::withoutTitles(const QByteArray &text)
{
    // A FASTA text's title lines (">" at the start of a line) name the
    // protein; their capitals are no residues, pasted or read from a file.
    QByteArray kept;
    kept.reserve(text.size());
    bool lineStart = true;
    bool title = false;
    for (const char byte : text) {
        if (lineStart)
            title = byte == '>';
        lineStart = byte == '\n' || byte == '\r';
        if (!title)
            kept += byte;
    }
    return kept;
}

void GuiAminoAcidSequenceEdit::insertFromMimeData(QMimeData const *source)
{
    if (!source || m_oneLetter.isEmpty())
        return;
    // Pasted sequences come in blocks of ten parted by blanks; read as
    // cystines those blanks would change the composition. A CY2 is typed.
    QString text = QString::fromUtf8(withoutTitles(source->text().toUtf8()));
    text.remove(QLatin1Char(' '));
    QStringList leftOut;
    QMimeData kept;
    kept.setText(inRows(filtered(text, &leftOut)));
    QTextEdit::insertFromMimeData(&kept);
    tellLeftOut(this, leftOut);
}

void GuiAminoAcidSequenceEdit::keyPressEvent(QKeyEvent *event)
{
    // The row breaks are the field's own: erasing next to one erases the residue beyond it.
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection() && event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_Backspace && cursor.atBlockStart() && !cursor.atStart()) {
            cursor.movePosition(QTextCursor::PreviousCharacter);
            cursor.deletePreviousChar();
            return;
        }
        if (event->key() == Qt::Key_Delete && cursor.atBlockEnd() && !cursor.atEnd()) {
            cursor.movePosition(QTextCursor::NextCharacter);
            cursor.deleteChar();
            return;
        }
    }
    QTextEdit::keyPressEvent(event);
}

void GuiAminoAcidSequenceEdit::onContentsChange(int position, int, int added)
{
    if (!m_changed) {
        m_changed = true;
        m_changedFrom = position;
        m_changedLength = added;
    } else {
        const int end = std::max(m_changedFrom + m_changedLength, position + added);
        m_changedFrom = std::min(m_changedFrom, position);
        m_changedLength = end - m_changedFrom;
    }
}

QString GuiAminoAcidSequenceEdit::inRows(const QString &residues)
{
    QString rows;
    rows.reserve(residues.size() + residues.size() / residuesPerRow + 1);
    for (int i = 0; i < residues.size(); i += residuesPerRow) {
        if (i > 0)
            rows += QLatin1Char('\n');
        rows += residues.midRef(i, residuesPerRow);
    }
    return rows;
}

QString GuiAminoAcidSequenceEdit::sequence() const
{
    return toPlainText().remove(QLatin1Char('\n'));
}

void GuiAminoAcidSequenceEdit::onTextChanged()
{
    if (!m_changed)
        return;
    const int from = m_changedFrom;
    const int length = m_changedLength;
    m_changed = false;
    QStringList typedLeftOut; // letters typed that are no code

    QTextDocument *doc = document();
    const int scroll = verticalScrollBar()->value();
    // The cursor as a residue index, so it keeps its place among the residues.
    const QTextCursor before = textCursor();
    int residue = before.position() - before.block().blockNumber();

    QSignalBlocker blocker(this);
    QSignalBlocker docBlocker(doc);
    // Upper-case what was added and drop what is no code (a typed line break too).
    const int end = std::min(from + length, doc->characterCount() - 1);
    if (end > from) {
        QTextCursor changed(doc);
        changed.setPosition(from);
        changed.setPosition(end, QTextCursor::KeepAnchor);
        const QString added = changed.selectedText();
        // The row breaks stay for the reflow below: a text that lost them
        // would stand as one line, whose layout grows with its square.
        QString wanted;
        wanted.reserve(added.size());
        for (const QChar c : added) {
            const QString upper = QString(c).toUpper();
            if (c == QChar::ParagraphSeparator || m_oneLetter.contains(upper))
                wanted += upper;
        }
        if (wanted != added) {
            const QTextCursor start(doc->findBlock(from));
            const int residueFrom = from - start.block().blockNumber();
            int dropped = 0;
            for (const QChar c : added) {
                if (c != QChar::ParagraphSeparator && !m_oneLetter.contains(QString(c).toUpper())) {
                    ++dropped;
                    if (c.isLetter())
                        typedLeftOut << QString(c).toUpper();
                }
            }
            if (residue > residueFrom)
                residue = std::max(residueFrom, residue - dropped);
            changed.insertText(wanted);
        }
    }

    // One block per row of residuesPerRow: an edit lays out only the rows it
    // touches, where one long paragraph would be laid out whole at each key.
    QTextBlock block = doc->findBlock(std::min(from, doc->characterCount() - 1));
    QTextBlock check = block;
    bool even = true;
    for (; check.isValid(); check = check.next())
        if (check.length() - 1 != residuesPerRow && check.next().isValid()) {
            even = false;
            break;
        }
    // A typed line break leaves a row short or an empty last one: the reflow removes it.
    const int last = doc->lastBlock().length() - 1;
    if (!even || last > residuesPerRow || (last == 0 && doc->blockCount() > 1)) {
        QTextCursor tail(doc);
        tail.setPosition(block.position());
        tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        tail.insertText(inRows(tail.selectedText().remove(QChar::ParagraphSeparator)));
    }
    m_changed = false;

    QTextCursor place(doc);
    place.setPosition(std::min(residue + residue / residuesPerRow, doc->characterCount() - 1));
    setTextCursor(place);
    verticalScrollBar()->setValue(scroll);
    docBlocker.unblock();
    blocker.unblock();

    const int residues = doc->characterCount() - doc->blockCount();
    const int rows = residues / residuesPerRow;
    if (rows != m_rowCount) {
        m_rowCount = rows;
        emit sigRowCountChanged(rows);
    }
    // Said beside the field, not in a box: the person goes on typing.
    if (!typedLeftOut.isEmpty())
        emit sigTypedLeftOut(typedLeftOut);
}

namespace {

// Blanks, tabs and line ends part the codes of a file; a blank that is a code (the
// cystine's) is read as one first.
bool isSeparator(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\f' || byte == '\v';
}

} // namespace

QString GuiAminoAcidSequenceEdit::matchCode(const QString &code, bool threeLetter) const
{
    // As typed: the code as it stands, otherwise in upper case.
    if (threeLetter) {
        auto found = m_threeLetter.constFind(code);
        if (found == m_threeLetter.constEnd())
            found = m_threeLetter.constFind(code.toUpper());
        return found == m_threeLetter.constEnd() ? QString() : found.value();
    }
    if (m_oneLetter.contains(code))
        return code;
    const QString upper = code.toUpper();
    return m_oneLetter.contains(upper) ? upper : QString();
}

void GuiAminoAcidSequenceEdit::setSequenceFromFile(QByteArray const &data, bool threeLetter)
{
    QString result;
    QStringList missed; // codes that match nothing, as often as they are met
    auto take = [&](const QString &code) {
        const QString found = matchCode(code, threeLetter);
        if (!found.isNull())
            result += found;
        else
            missed << code;
    };
    {
        const GuiWaitCursor busy;
        if (!threeLetter) {
            for (const char byte : withoutTitles(data)) {
                const QString code(QChar::fromLatin1(byte));
                if (isSeparator(byte) && matchCode(code, false).isNull())
                    continue;
                take(code);
            }
        } else {
            // Names follow each other back to back or parted by blanks and line
            // ends; what is left of a run after its last whole name is named too.
            for (int i = 0; i < data.size();) {
                if (isSeparator(data.at(i))) {
                    ++i;
                    continue;
                }
                int end = i;
                while (end < data.size() && !isSeparator(data.at(end)))
                    ++end;
                for (; i < end; i += 3)
                    take(QString::fromLatin1(data.mid(i, std::min(3, end - i))));
                i = end;
            }
        }
        setPlainText(inRows(result));
    }
    tellLeftOut(this, missed);
}

void GuiAminoAcidSequenceEdit::setSequence(QString text, bool threeLetter)
{
    setSequenceFromFile(text.toLocal8Bit(), threeLetter);
}
