#include "ui/form_kit.h"

#include "ui/captions.h"
#include "ui/progress_runner.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLayout>

namespace ranvik {

QString SingularUnit(const QString& unit) {
    return unit.endsWith(QLatin1Char('s')) ? unit.chopped(1) : unit;
}

double TwipsToPixels(double twips, const QWidget& widget) {
    return twips * widget.logicalDpiX() / kTwipsPerInch;
}

WizardForm::WizardForm(Navigator& wizard, const char* name) : wizard_(wizard) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(QString::fromLatin1(kFormCaption));
}

void WizardForm::closeEvent(QCloseEvent* event) {
    if (event->spontaneous()) {
        QCoreApplication::quit();
    }
    QWidget::closeEvent(event);
}

QLabel* WizardForm::Label(const char* name, const QString& text, bool wrap) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(wrap);
    return label;
}

QPushButton* WizardForm::Button(const char* name, const QString& text,
                                std::function<void()> click) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(name));
    connect(button, &QPushButton::clicked, this, [click = std::move(click)] { click(); });
    return button;
}

QRadioButton* WizardForm::Option(const char* name, const QString& text, QWidget* parent) {
    auto* option = new QRadioButton(text, parent != nullptr ? parent : this);
    option->setObjectName(QString::fromLatin1(name));
    return option;
}

QCheckBox* WizardForm::Check(const char* name, const QString& text, QWidget* parent) {
    auto* check = new QCheckBox(text, parent != nullptr ? parent : this);
    check->setObjectName(QString::fromLatin1(name));
    return check;
}

QLineEdit* WizardForm::Text(const char* name, const QString& text) {
    auto* box = new QLineEdit(text, this);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QGroupBox* WizardForm::Frame(const char* name, const QString& caption) {
    auto* frame = new QGroupBox(caption, this);
    frame->setObjectName(QString::fromLatin1(name));
    return frame;
}

QBoxLayout* WizardForm::ButtonRow(std::initializer_list<QWidget*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* button : buttons) {
        row->addWidget(button);
    }
    return row;
}

void WizardForm::Message(const QString& text, const QString& title) {
    wizard_.dialogs().Message(this, text, title);
}

bool WizardForm::HasLocations(LocationSet wanted) {
    const std::string missing = MissingLocations(wizard_.session(), wanted);
    if (!missing.empty()) {
        Message(QString::fromStdString(missing));
    }
    return missing.empty();
}

void WizardForm::ShowStatus(const QString& text) {
    if (status_line_ == nullptr) {
        status_line_ = Label("LblStatus", {}, true);
        if (layout() != nullptr) {
            layout()->addWidget(status_line_);
        }
    }
    status_line_->setText(text);
    status_line_->setVisible(!text.isEmpty());
}

Status WizardForm::RunLong(const QString& what,
                           const std::function<Status(const RunControl&, Notifier&)>& work) {
    ShowStatus({});
    const Status status = RunWithProgress(this, wizard_.dialogs(), what, work);
    if (status.cancelled) {
        ShowStatus(QStringLiteral("Cancelled: nothing was changed."));
    }
    return status;
}

bool WizardForm::RunLong(const QString& what,
                         const std::function<Status(const RunControl&, Notifier&)>& work,
                         const std::function<void()>& commit) {
    const Status status = RunLong(what, work);
    if (status.cancelled) {
        return false;
    }
    if (!status.Ok()) {
        Message(QString::fromStdString(status.error));
        return false;
    }
    commit();
    return true;
}

} // namespace ranvik
