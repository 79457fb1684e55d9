// Runs the message processor in CGI mode, as a web server's CGI host would:
// host_cgi <modules folder> <database file>, one request on standard input.

#include "xml/xml_messageprocessor.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    XmlMessageProcessor processor(args.at(2), nullptr);
    processor.loadPlugins(args.at(1));
    processor.cgiExec();
}
