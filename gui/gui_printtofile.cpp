#include "gui/gui_printtofile.h"

#include <QIODevice>
#include <QMessageBox>
#include <QPdfWriter>
#include <QPrinter>

namespace {

void refuse(QWidget *parent, const QString &failure)
{
    QMessageBox::critical(parent, QStringLiteral("Vornakel"), failure, QMessageBox::Ok);
}

} // namespace

// The PDF writer's output: every byte goes through the save, and the last
// ones are kept, since a whole PDF ends with its end mark.
class GuiPrintToFile::Pages : public QIODevice
{
public:
    explicit Pages(AppSaveFile *file) : m_file(file) { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return true; }
    bool whole() const { return m_tail.contains("%%EOF"); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        const QByteArray bytes(data, int(size));
        if (!m_file->write(bytes))
            return -1;
        m_tail = (m_tail + bytes).right(64);
        return size;
    }

private:
    AppSaveFile *m_file;
    QByteArray m_tail;
};

GuiPrintToFile::GuiPrintToFile(QPrinter *printer) : m_printer(printer)
{
    if (printer->outputFormat() != QPrinter::PdfFormat || printer->outputFileName().isEmpty())
        return;
    m_file = std::make_unique<AppSaveFile>(printer->outputFileName());
    if (!m_file->open())
        return;
    m_pages = std::make_unique<Pages>(m_file.get());
    m_writer = std::make_unique<QPdfWriter>(m_pages.get());
    m_writer->setPdfVersion(printer->pdfVersion());
    m_writer->setResolution(printer->resolution());
    m_writer->setPageLayout(printer->pageLayout());
    m_writer->setTitle(printer->docName());
    m_writer->setCreator(printer->creator());
}

GuiPrintToFile::~GuiPrintToFile()
{
    // The writer writes into the pages, which write into the file.
    m_writer.reset();
    m_pages.reset();
}

bool GuiPrintToFile::begin(QWidget *parent)
{
    if (!m_file || m_writer)
        return true;
    refuse(parent, m_file->failure());
    return false;
}

QPagedPaintDevice *GuiPrintToFile::device() const
{
    if (m_writer)
        return m_writer.get();
    return m_printer;
}

bool GuiPrintToFile::finish(QWidget *parent)
{
    if (!m_file)
        return true;
    // A write that failed has said why (the save keeps its reason); the print
    // engine itself says nothing of pages it did not write.
    if (!m_pages->whole() && m_file->errorString().isEmpty())
        m_file->abandon(QStringLiteral("the printing did not write all of it"));
    if (m_file->commit())
        return true;
    refuse(parent, m_file->failure());
    return false;
}
