#ifndef SQL_REFERENCEDATA_H
#define SQL_REFERENCEDATA_H

#include <QList>
#include <QString>
#include <QStringList>

// Fills the reference tables of a database (amino acids, conjugates, denaturants,
// extinction spectra, buffer components with their density and viscosity series)
// from the cited CSV files that ship with the program. The build tool uses it to
// make the default database, the tests to make temporary ones.
class SqlReferenceData
{
public:
    // The folder of the shipped CSV files in the source tree.
    static QString shippedFolder(const QString &sourceDir);

    // Inserts every row of the CSV files in csvFolder into the open connection named
    // connectionName, in one transaction. Refuses (false, nothing written) when a
    // reference table already holds rows, so that a second run adds no duplicates.
    static bool load(const QString &connectionName, const QString &csvFolder, QString *error = nullptr);

    // Reads a comma-separated file with double-quoted fields (quotes doubled inside);
    // the first row is the header. False with a message when the file cannot be read
    // or a quoted field is left open.
    static bool readCsv(const QString &path, QList<QStringList> *rows, QString *error = nullptr);

    // The text cut to a declared column size; a trailing " (...)" is dropped first when
    // that alone makes it fit.
    static QString fitText(const QString &text, int size);
};

#endif
