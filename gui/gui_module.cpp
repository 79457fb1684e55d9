#include "gui/gui_module.h"

#include "app/app_log.h"
#include "app/app_plugin.h"
#include "xml/xml_uiparser.h"

#include <QBuffer>
#include <QUiLoader>
#include <QWidget>

GuiModule::GuiModule(AppPlugin *module, QWidget *parent) : QObject(parent), m_module(module)
{
    AppLog::connect(this, &GuiModule::sigLog, lcGui);
    initialize();
}

GuiModule::~GuiModule()
{
    delete m_window;
}

void GuiModule::initialize()
{
    QBuffer *form = m_module ? m_module->moduleUI() : nullptr;
    // A module with only an HTML page has an empty form: the loader would
    // print a parse error for it.
    if (!form || form->size() == 0 || !form->open(QIODevice::ReadOnly))
        return;
    QUiLoader loader;
    QWidget *window = loader.load(form, nullptr);
    form->seek(0);
    if (!window) {
        form->close();
        emit sigLog(QStringLiteral("Failed to Create Ui "), AppLog::Trace);
        return;
    }
    m_window = window;
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QObject::destroyed, this, &QObject::deleteLater);
    window->show();

    XmlUiParser parser;
    parser.setModule(this, "sendMessage()", window);
    connect(&parser, &XmlUiParser::sigLog, this, &GuiModule::sigLog);
    const QByteArray text = form->readAll();
    form->close();
    emit sigLog(parser.parse(text) ? QStringLiteral("XmlUiParser: parse() was true")
                                   : QStringLiteral("XmlUiParser: parse() was false"),
        AppLog::Notice);
}

void GuiModule::sendMessage()
{
    emit sigLog(QStringLiteral("GuiModule::sendMessage()"), AppLog::Trace);
    if (sender())
        emit sigSendMessage(QString());
    else
        emit sigLog(QStringLiteral("GuiModule::sendMessage() no sender!"), AppLog::Warning);
}
