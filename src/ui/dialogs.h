#pragma once

#include "state/notifier.h"

#include <QString>

class QWidget;

namespace ranvik {

// The modal dialogs the forms need, behind an interface so that tests can drive the whole
// wizard without a person: the program uses QtDialogs, tests a fake that answers from a script.
class Dialogs {
public:
    enum class Icon { None, Critical, Information, Warning };

    virtual ~Dialogs() = default;

    // A modal message box with an OK button. An empty title shows the program's name; a
    // non-empty `detail` (why it happened, for the curious) is kept behind the box's
    // "Show Details..." button, so that `text` stays the short message the user expects.
    virtual void Message(QWidget* parent, const QString& text, const QString& title = {},
                         Icon icon = Icon::None, const QString& detail = {}) = 0;

    // A file-open dialog with a filter such as "ESRI Shapefiles (*.shp)|*.shp" (empty: all
    // files). Returns the chosen full path, or an empty string when the user cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& filter,
                                 const QString& directory) = 0;

    // A file-save dialog; the chosen path, or an empty string when the user cancelled.
    virtual QString SaveFileName(QWidget* parent, const QString& filter,
                                 const QString& directory) = 0;
};

// Dialogs shown with Qt's standard boxes.
class QtDialogs final : public Dialogs {
public:
    void Message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                 const QString& detail) override;
    QString OpenFileName(QWidget* parent, const QString& filter, const QString& directory) override;
    QString SaveFileName(QWidget* parent, const QString& filter, const QString& directory) override;
};

// Passes a computation's messages on to the user as message boxes.
class DialogNotifier final : public Notifier {
public:
    DialogNotifier(Dialogs& dialogs, QWidget* parent) : dialogs_(dialogs), parent_(parent) {}

    void Inform(std::string_view message) override;

private:
    Dialogs& dialogs_;
    QWidget* parent_;
};

} // namespace ranvik
