// Build-time program: fits the buffer components' density and viscosity series
// to the handbook rows and writes them in the form the default database loads.
//   tool_bufferfit <buffer_data.csv> <buffer_series.csv to write>

#include "tools/tools_bufferfit.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tool_bufferfit <buffer_data.csv> <buffer_series.csv>\n");
        return 2;
    }
    QList<ToolsBufferFit::Data> data;
    QString error;
    if (!ToolsBufferFit::readData(QString::fromLocal8Bit(argv[1]), &data, &error)) {
        std::fprintf(stderr, "tool_bufferfit: %s\n", qPrintable(error));
        return 1;
    }
    QList<ToolsBufferFit::Series> series;
    for (const ToolsBufferFit::Data &d : qAsConst(data)) {
        if (d.points.isEmpty())
            continue;
        series << ToolsBufferFit::fit(d);
        const ToolsBufferFit::Series &s = series.last();
        std::printf("%-42s %-9s Cmax %8s of %8.3f M  %2d rows  ErrorMax %6.2f  worst/target %5.2f%s\n",
            qPrintable(s.name), s.kind == ToolsBufferFit::Kind::Density ? "density" : "viscosity",
            qPrintable(s.cmaxText), d.points.last().c, s.points, s.errorMax, s.worst,
            s.worst > 1 ? "  MISSES A TARGET" : "");
    }
    if (!ToolsBufferFit::writeSeries(QString::fromLocal8Bit(argv[2]), series, &error)) {
        std::fprintf(stderr, "tool_bufferfit: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
