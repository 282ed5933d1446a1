#pragma once

#include "platform/AddedFiles.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// What an add left out, said once: a line for the upload view, and the whole list, each item
// with why, on a sheet.
namespace NotAddedReport {

// "3 items were not added: fifo (is a named pipe); … ; and 1 more."; empty for none.
[[nodiscard]] QString summary(const QList<AddedFiles::Problem> &problems);
// "path — reason", one for each.
[[nodiscard]] QStringList lines(const QList<AddedFiles::Problem> &problems);
void showList(QWidget *window, const QStringList &lines);

} // namespace NotAddedReport
