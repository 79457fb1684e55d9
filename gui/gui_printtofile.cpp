#include "gui/gui_printtofile.h"

#include <QFile>
#include <QMessageBox>
#include <QPrinter>

namespace {

void refuse(QWidget *parent, const QString &failure)
{
    QMessageBox::critical(parent, QStringLiteral("Vornakel"), failure, QMessageBox::Ok);
}

} // namespace

GuiPrintToFile::GuiPrintToFile(QPrinter *printer) : m_printer(printer)
{
    if (printer->outputFormat() != QPrinter::PdfFormat || printer->outputFileName().isEmpty())
        return;
    m_name = printer->outputFileName();
    m_file = std::make_unique<AppSaveFile>(m_name);
    if (m_file->open())
        printer->setOutputFileName(m_file->temporaryFileName());
}

GuiPrintToFile::~GuiPrintToFile()
{
    if (!m_name.isEmpty())
        m_printer->setOutputFileName(m_name);
}

bool GuiPrintToFile::begin(QWidget *parent)
{
    if (!m_file || !m_file->temporaryFileName().isEmpty())
        return true;
    refuse(parent, m_file->failure());
    return false;
}

bool GuiPrintToFile::finish(QWidget *parent)
{
    if (!m_file)
        return true;
    // The print engine says nothing of a write that fails: a whole PDF ends
    // with its end mark, and one cut short does not.
    QFile printed(m_file->temporaryFileName());
    const qint64 size = printed.size();
    QByteArray tail;
    if (printed.open(QIODevice::ReadOnly) && printed.seek(qMax<qint64>(0, size - 64)))
        tail = printed.readAll();
    printed.close();
    if (!tail.contains("%%EOF")) {
        // What stopped the engine stops another write too, and says what it is.
        QString why = QStringLiteral("the printing did not write all of it");
        QFile probe(m_file->temporaryFileName());
        if (probe.open(QIODevice::Append) && (probe.write(QByteArray(4096, '\n')) < 0 || !probe.flush()))
            why = probe.errorString();
        probe.close();
        m_file->abandon(why);
        refuse(parent, m_file->failure());
        return false;
    }
    if (m_file->commit())
        return true;
    refuse(parent, m_file->failure());
    return false;
}
