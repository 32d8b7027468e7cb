#pragma once

#include "ui/dialogs.h"

#include <QString>
#include <QStringList>

namespace ranvik::testing {

// Dialogs that record every message and answer file dialogs from a queue, so tests drive the
// forms without a person.
class FakeDialogs final : public Dialogs {
public:
    void Message(QWidget*, const QString& text, const QString& title, Icon icon,
                 const QString& detail) override {
        messages << text;
        titles << title;
        details << detail;
        last_icon = icon;
    }

    QString OpenFileName(QWidget*, const QString& filter, const QString&) override {
        filters << filter;
        return open_answers.isEmpty() ? QString() : open_answers.takeFirst();
    }

    QString SaveFileName(QWidget*, const QString& filter, const QString&) override {
        filters << filter;
        return save_answers.isEmpty() ? QString() : save_answers.takeFirst();
    }

    QStringList messages;
    QStringList titles;
    QStringList details; // one per message, empty when the message had none
    Icon last_icon = Icon::None;
    QStringList open_answers; // paths returned by the next file-open dialogs; empty: cancel
    QStringList save_answers; // paths returned by the next file-save dialogs
    QStringList filters;
};

} // namespace ranvik::testing
