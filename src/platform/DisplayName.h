#pragma once

#include <QString>

// Names from a server or a disk as text on screen. A name may hold direction controls (an
// override before "gnp.exe" makes a program look like ".png") or a NUL, which cuts the name
// short where it becomes a C string, as in an accessible name. Only for showing: what is
// stored or sent keeps the name as it is.
namespace DisplayName {

// Every direction control and every C0, DEL or C1 control, and the line and paragraph
// separators, spelled out as "<U+202E>"; the rest of the name unchanged. For a name that stands
// alone, as a row of a list does: an FSI in front would defeat typing its first letters.
[[nodiscard]] QString visible(const QString &name);

// The visible name inside FSI … PDI, so that a right-to-left name takes its direction from
// itself and leaves the sentence around it ("Selected: %1") in its order.
[[nodiscard]] QString isolated(const QString &name);

} // namespace DisplayName
