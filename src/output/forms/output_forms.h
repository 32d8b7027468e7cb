#pragma once

#include "ui/form_kit.h"

#include <QString>

class QComboBox;
class QFileSystemModel;
class QPlainTextEdit;
class QTreeView;

namespace ranvik {

// Writes every result that waits to be saved, named after a root name, into a chosen folder.
class FrmSaveAs : public WizardForm {
    Q_OBJECT

public:
    explicit FrmSaveAs(Navigator& wizard);
    void CmdSave_Click();

    // The folder chosen in the folder tree, and choosing one.
    [[nodiscard]] QString Directory() const;
    void SetDirectory(const QString& path);

    QLineEdit* root_name_box = nullptr;
    QComboBox* file_type_combo = nullptr;
    QComboBox* drive_combo = nullptr;
    QTreeView* folder_list = nullptr;

private:
    QFileSystemModel* folders_ = nullptr;
    QString directory_;
};

// The comparison table and the way to the likelihood file.
class FrmHRComparison : public WizardForm {
    Q_OBJECT

public:
    explicit FrmHRComparison(Navigator& wizard);
    void CmdPrevious_Click();
    void Command1_Click();

    QPlainTextEdit* comparison_box = nullptr;
};

} // namespace ranvik
