#ifndef GUI_AMINOACIDSEQUENCE_H
#define GUI_AMINOACIDSEQUENCE_H

#include "ui_gui_aminoacidsequence.h"

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

// The modal dialog in which a residue sequence is viewed and edited for the
// sample page: the sequence field with its column ruler and residue counter,
// copy, paste, print, and the sequence file (.SEQ: one-letter codes, or
// three-letter names back to back when read).
class QPrinter;

class GuiAminoAcidSequence : public QDialog, public Ui::QtAminoAcidSequence
{
    Q_OBJECT

public:
    // The file filters of the sequence file, the form each one decodes.
    static const char *const oneLetterFilter; // "1 Letter Code (*.SEQ)"
    static const char *const threeLetterFilter; // "3 Letter Code (*.SEQ)"
    // Sequence and composition files are small; anything larger is refused.
    static constexpr qint64 maxFileSize = 1 << 20;

    // Three lines of the print-out: residue numbers, ruler, residues.
    struct PrintGroup
    {
        QString numbers;
        QString ruler;
        QString residues;
    };
    // 50 residues per group in blocks of ten, numbered above each tenth residue.
    static QList<PrintGroup> printGroups(const QString &sequence);

    // Reads a whole file of at most maxFileSize bytes; false after a "Vornakel" box.
    static bool readFile(QWidget *parent, const QString &path, QByteArray *data);
    // Writes the bytes completely or says so in a "Vornakel" box.
    static bool writeFile(QWidget *parent, const QString &path, const QByteArray &data);

    explicit GuiAminoAcidSequence(QWidget *parent = nullptr);
    ~GuiAminoAcidSequence() override;

    void setDatabasePath(QString const &path);
    void initialize();
    void clear();
    QString sequence() const;
    // The sequence's print-out, on the printer the print dialog set up.
    void print(QPrinter *printer);

public slots:
    void refreshVerticalCounter(int rowCount);
    void onPrintClicked();
    void onSaveToFileClicked();
    void onReadFromFileClicked();
    void onFontSizeChanged(int value);

signals:
    void sigLog(QString message, int logLevel);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createConnections();
    void forgetTypedLeftOut();

    QStringList m_typedLeftOut; // letters typed that are no code, since the dialog was opened or cleared
};

#endif
