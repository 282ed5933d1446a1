#include "session/NotAddedReport.h"

#include "platform/DisplayName.h"
#include "platform/widgets/Alert.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
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
        //: A file's name, then why it was not added
        first.append(QCoreApplication::translate("NotAddedReport", "%1 (%2)")
                         .arg(DisplayName::visible(QFileInfo(problem.path).fileName()), problem.reason));
    //: %1 names the first items, each with why, as "name (reason)"
    const QString text = QCoreApplication::translate("NotAddedReport", "%n items were not added: %1.", "",
                                                     int(problems.size()))
                             .arg(first.join(QStringLiteral("; ")));
    if (problems.size() <= InLine)
        return text;
    //: %1 is the list of the first items; %n more are listed under the button
    return QCoreApplication::translate("NotAddedReport", "%n items were not added: %1; and %2 more.", "",
                                       int(problems.size()))
        .arg(first.join(QStringLiteral("; ")))
        .arg(problems.size() - InLine);
}

QStringList NotAddedReport::lines(const QList<AddedFiles::Problem> &problems)
{
    QStringList out;
    out.reserve(problems.size());
    for (const AddedFiles::Problem &problem : problems)
        out.append(QCoreApplication::translate("NotAddedReport", "%1 — %2")
                       .arg(DisplayName::visible(problem.path), problem.reason));
    return out;
}

void NotAddedReport::showList(QWidget *window, const QStringList &lines)
{
    QStringList shown = lines.mid(0, OnSheet);
    if (lines.size() > OnSheet)
        shown.append(QCoreApplication::translate("NotAddedReport", "…and %n more, listed under Show Details.",
                                                 "", int(lines.size() - OnSheet)));
    Alert::beginSheet(
        window, Alert::Style::Warning,
        QCoreApplication::translate("NotAddedReport", "%n items were not added", "", int(lines.size())),
        shown.join(QLatin1Char('\n')), {}, {}, lines.join(QLatin1Char('\n')));
}
