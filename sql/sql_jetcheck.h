#ifndef SQL_JETCHECK_H
#define SQL_JETCHECK_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

class QFile;

// What a sound Access (Jet 4) file holds, checked on the file's own bytes
// before the ODBC driver reads anything of it. The driver trusts what the
// file says: a column number, an offset or a length that points elsewhere
// makes it crash, allocate without end, loop, or read the bytes of one value
// as another's without a word. Here every such field is checked against what
// it must be in a sound file: the file ends where a page ends; a table's
// definition lies within its pages, its column numbers are unique and below
// the count, its types, flags, sizes and fixed offsets agree; its map lists
// data pages of its own, and no page of its own is missing from the map;
// each row lies within its page, its column count, null mask and offsets of
// values within the row; each long value (memo, OLE) and its length lies
// within the file, on the pages that hold long values; the properties of
// the catalog's objects hold blocks within their length. Only the bytes of
// values and the null masks, which no reader can judge, are taken as they
// are. Part of the reader program only.
//
// A Jet 3 file (2 KiB pages) is checked for its end only.
class SqlJetCheck
{
public:
    explicit SqlJetCheck(const QString &file);
    ~SqlJetCheck();
    SqlJetCheck(const SqlJetCheck &) = delete;
    SqlJetCheck &operator=(const SqlJetCheck &) = delete;

    // Why the file as a whole is damaged (cut short, its catalog of tables
    // damaged), or an empty text.
    QString fileDamage() const { return m_fileDamage; }
    // What no sound file holds in the table (its name in any letter case):
    // its definition, its pages, its rows and their long values; one line
    // each, the first few. Empty for a sound table, and for one the catalog
    // does not list.
    QStringList tableDamage(const QString &table) const;

private:
    struct Layout;
    QString m_fileDamage;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<Layout> m_layout;
    // The definition page of each table the catalog lists, by its name in lower case.
    QHash<QString, qint64> m_tables;
};

#endif
