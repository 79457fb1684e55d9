#include "gui/gui_complaints.h"

namespace GuiComplaints {

QString text(const QStringList &lines)
{
    QString message = lines.mid(0, shownLines).join(QLatin1Char('\n'));
    const int more = lines.size() - shownLines;
    if (more > 0)
        message += QStringLiteral("\n\u2026 and %1 more %2").arg(more).arg(more == 1 ? "line" : "lines");
    return message;
}

} // namespace GuiComplaints
