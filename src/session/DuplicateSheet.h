#pragma once

#include "store/DuplicateCheck.h"

#include <QDialog>
#include <QList>

class QListWidget;
class QPushButton;

// Over the session window, before anything is sent: the queued files that went to this server
// before, each with where and when, and those whose last upload may have arrived there, each with
// why; and what to do about them. Skip Duplicates is the default; Escape or closing the sheet
// cancels.
class DuplicateSheet : public QDialog {
    Q_OBJECT
public:
    enum Answer { SkipDuplicates, UploadAll, Cancel };
    Q_ENUM(Answer)

    DuplicateSheet(QWidget *window, const QList<DuplicateMatch> &duplicates);

    // "harbour-noon.jpg — already uploaded to /Photos/2026/Summer on 5 Dec 2026, 14:02", or
    // "harbour-noon.jpg — may have arrived at /Photos/2026/Summer: <why>"
    [[nodiscard]] static QString describe(const DuplicateMatch &duplicate);

    [[nodiscard]] QListWidget *list() const { return m_list; }
    [[nodiscard]] QPushButton *button(Answer answer) const;

signals:
    void answered(DuplicateSheet::Answer answer);

private:
    void answer(Answer answer);

    QListWidget *m_list;
    QList<QPushButton *> m_buttons;
    bool m_answered = false;
};
