#ifndef GUI_AMINOACIDSEQUENCEEDIT_H
#define GUI_AMINOACIDSEQUENCEEDIT_H

#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QTextEdit>

class QKeyEvent;
class QMimeData;

// The field in which a residue sequence is written in one-letter codes. It
// takes only the codes of the reference table `amino` (read again at each
// clear()), keeps its text in upper case and reports its complete rows of 100
// residues.
class GuiAminoAcidSequenceEdit : public QTextEdit
{
    Q_OBJECT

public:
    explicit GuiAminoAcidSequenceEdit(QWidget *parent = nullptr);
    ~GuiAminoAcidSequenceEdit() override;

    void setDatabasePath(QString const &path);
    void clear();
    void populateCodeTables();

    // Replaces the text by the one-letter form of a sequence file's bytes:
    // one-letter codes, or three-letter names back to back or parted by blanks
    // and line ends; a code is matched as it stands, otherwise in upper case.
    // Codes that match nothing are named, with their count, in one box.
    void setSequenceFromFile(QByteArray const &data, bool threeLetter);
    void setSequence(QString text, bool threeLetter);

    // What a paste keeps of a text: its code characters, upper-cased. The
    // letters it leaves out are added to leftOut, each as often as it is met.
    QString filtered(const QString &text, QStringList *leftOut = nullptr) const;
    // Names the codes an entry of a sequence left out, each once with its
    // count, in one box; no box when there are none.
    static void tellLeftOut(QWidget *parent, const QStringList &codes,
        const QString &heading = QStringLiteral("These codes match no amino acid and were left out of the sequence:"));
    // Each code once, in the order first met, with its count: "'X' (2 times)".
    static QStringList countedCodes(const QStringList &codes);
    // A text without its FASTA title lines, which are no residues.
    static QByteArray withoutTitles(const QByteArray &text);
    // The residues without the row breaks the field shows them in.
    QString sequence() const;
    static constexpr int residuesPerRow = 100;
    // Residues as the field holds them: one line per row of residuesPerRow.
    static QString inRows(const QString &residues);
    int rowCount() const { return m_rowCount; }

public slots:
    void onTextChanged();

signals:
    void sigRowCountChanged(int rowCount);
    // After a typed change that left out letters that are no code: those letters, upper-cased.
    void sigTypedLeftOut(const QStringList &letters);
    void sigLog(QString message, int logLevel);

protected:
    void insertFromMimeData(QMimeData const *source) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void onContentsChange(int position, int removed, int added);
    // The one-letter code a code of a file stands for, or a null string.
    QString matchCode(const QString &code, bool threeLetter) const;

    int m_rowCount = 0;
    QHash<QString, QString> m_threeLetter; // Namethree to nameone
    QHash<QString, int> m_oneLetter; // nameone to id
    QString m_databasePath;
    QSqlDatabase m_database;
    // The stretch of the document changed last, checked by onTextChanged.
    int m_changedFrom = 0;
    int m_changedLength = 0;
    bool m_changed = false;
};

#endif
