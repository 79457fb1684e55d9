#include "gui/gui_vornakelmodules.h"

GuiVornakelModules::GuiVornakelModules(const QStringList &modules, const QString &searchPath, QWidget *parent)
    : QDialog(parent), m_modules(modules), m_searchPath(searchPath)
{
    setupUi(this);
    initialize();
}

void GuiVornakelModules::initialize()
{
    for (const QString &line : qAsConst(m_modules)) {
        const QStringList fields = line.split(QLatin1Char(','));
        auto *item = new QTreeWidgetItem(qtModules);
        for (int column = 0; column < 4; ++column) {
            item->setText(column, fields.value(column));
            item->setToolTip(column, fields.value(column));
        }
    }
    qtModules->resizeColumnToContents(0);
    qtModules->resizeColumnToContents(1);
    // Long paths keep their file names in sight; the tool tip holds the whole text.
    qtModules->setTextElideMode(Qt::ElideMiddle);
    qtModulePath->setText(m_searchPath);
}

QStringList GuiVornakelModules::selectedModules() const
{
    QStringList lines;
    for (int row = 0; row < qtModules->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = qtModules->topLevelItem(row);
        if (!item->isSelected())
            continue;
        lines << item->text(0) + QLatin1Char(',') + item->text(1) + QLatin1Char(',') + item->text(2) + QLatin1Char(',')
                + item->text(3);
    }
    return lines;
}
