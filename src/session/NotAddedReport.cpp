#include "session/NotAddedReport.h"

#include "platform/DisplayName.h"
#include "platform/widgets/Alert.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("NotAddedReport", text);
}
// Items named in the view's line; the rest are a button away.
constexpr int InLine = 2;
// Items on the sheet itself; all of them are under its details.
constexpr int OnSheet = 12;
} // namespace

QString NotAddedReport::summary(const QList<AddedFiles::Problem> &problems)
{
    if (problems.isEmpty())
        return {};
    QStringList first;
    for (const AddedFiles::Problem &problem : problems.mid(0, InLine))
        first.append(tr("%1 (%2)").arg(DisplayName::visible(QFileInfo(problem.path).fileName()), problem.reason));
    QString text =
        problems.size() == 1
            ? tr("1 item was not added: %1").arg(first.constFirst())
            : tr("%1 items were not added: %2").arg(problems.size()).arg(first.join(QStringLiteral("; ")));
    if (problems.size() > InLine)
        text += tr("; and %1 more").arg(problems.size() - InLine);
    return text + QLatin1Char('.');
}

QStringList NotAddedReport::lines(const QList<AddedFiles::Problem> &problems)
{
    QStringList out;
    out.reserve(problems.size());
    for (const AddedFiles::Problem &problem : problems)
        out.append(tr("%1 — %2").arg(DisplayName::visible(problem.path), problem.reason));
    return out;
}

void NotAddedReport::showList(QWidget *window, const QStringList &lines)
{
    QStringList shown = lines.mid(0, OnSheet);
    if (lines.size() > OnSheet)
        shown.append(tr("…and %1 more, listed under Show Details.").arg(lines.size() - OnSheet));
    Alert::beginSheet(window, Alert::Style::Warning,
                      lines.size() == 1 ? tr("1 item was not added")
                                        : tr("%1 items were not added").arg(lines.size()),
                      shown.join(QLatin1Char('\n')), {}, {}, lines.join(QLatin1Char('\n')));
}
