#include "ui/dialogs.h"

#include "ui/captions.h"

#include <QFileDialog>
#include <QMessageBox>

namespace ranvik {
namespace {

// "Name (*.a)|*.a|Other (*.b)|*.b" becomes Qt's "Name (*.a);;Other (*.b)": the descriptions
// already carry their patterns.
QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList names;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        names << parts[i];
    }
    return names.join(QStringLiteral(";;"));
}

} // namespace

void QtDialogs::Message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                        const QString& detail) {
    QMessageBox box(parent);
    box.setWindowTitle(title.isEmpty() ? QString::fromLatin1(kMessageTitle) : title);
    box.setText(text);
    if (!detail.isEmpty()) {
        box.setDetailedText(detail);
    }
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

QString QtDialogs::OpenFileName(QWidget* parent, const QString& filter, const QString& directory) {
    return QFileDialog::getOpenFileName(parent, QString::fromLatin1(kFormCaption), directory,
                                        QtFilter(filter));
}

QString QtDialogs::SaveFileName(QWidget* parent, const QString& filter, const QString& directory) {
    return QFileDialog::getSaveFileName(parent, QString::fromLatin1(kFormCaption), directory,
                                        QtFilter(filter));
}

void DialogNotifier::Inform(std::string_view message) {
    dialogs_.Message(parent_,
                     QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

} // namespace ranvik
