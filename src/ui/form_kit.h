#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QWidget>

#include "state/loaded_locations.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/status.h"
#include "ui/navigator.h"

#include <functional>

class QBoxLayout;

namespace ranvik {

// Twips per inch: the forms were first laid out in twips (1/1440 inch).
inline constexpr double kTwipsPerInch = 1440.0;

// A length in twips as pixels on `widget`'s screen: twips × logical dots per inch / 1440
// (at 96 dpi, 15 twips make a pixel). Lengths given in twips go through here, so that a form
// keeps its proportions on a screen of any resolution.
[[nodiscard]] double TwipsToPixels(double twips, const QWidget& widget);

// One of a time unit named in the plural: "minutes" -> "minute".
[[nodiscard]] QString SingularUnit(const QString& unit);

// A form of the wizard: a small top-level window with the program's caption, whose object name
// is the form's name. Closing it with the window's close box ends the program; moving on
// through its buttons does not.
class WizardForm : public QWidget {
    Q_OBJECT

public:
    WizardForm(Navigator& wizard, const char* name);

protected:
    void closeEvent(QCloseEvent* event) override;

    // Controls, each created with its given name.
    QLabel* Label(const char* name, const QString& text, bool wrap = false);
    QPushButton* Button(const char* name, const QString& text, std::function<void()> click);
    QRadioButton* Option(const char* name, const QString& text, QWidget* parent = nullptr);
    QCheckBox* Check(const char* name, const QString& text, QWidget* parent = nullptr);
    QLineEdit* Text(const char* name, const QString& text = {});
    QGroupBox* Frame(const char* name, const QString& caption);

    // A row with the buttons pushed to the right, "<< Previous" before "Next >>".
    static QBoxLayout* ButtonRow(std::initializer_list<QWidget*> buttons);

    // Shows `text` in a message box with an OK button.
    void Message(const QString& text, const QString& title = {});

    // True when locations of kind `wanted` are loaded for work to start on; otherwise tells
    // the user what to load.
    bool HasLocations(LocationSet wanted);

    // Shows `text` in a line at the foot of the form (empty hides it).
    void ShowStatus(const QString& text);

    // Runs long work behind the progress window; the work computes into results of its own,
    // which the form puts into the session once it has returned Ok. After a cancel the status
    // line says that nothing was changed. Returns the work's status.
    Status RunLong(const QString& what,
                   const std::function<Status(const RunControl&, Notifier&)>& work);

    // Runs long work as above and settles its outcome: after a cancel only the status line
    // speaks; after a failure its sentence is shown with Message and nothing is committed; once
    // the work has returned Ok, `commit` runs on the GUI thread to put the work's results into
    // the session and carry on from them. Returns true when `commit` ran. A form that keeps part
    // of a failed run's results, or does more after a cancel, takes the status from the form
    // above and settles it itself.
    bool RunLong(const QString& what,
                 const std::function<Status(const RunControl&, Notifier&)>& work,
                 const std::function<void()>& commit);

    Navigator& wizard_;

private:
    QLabel* status_line_ = nullptr;
};

} // namespace ranvik
