#include "output/forms/output_forms.h"

#include "output/estimator_table.h"

#include "output/comparison.h"
#include "output/forms/frm_home_range_picture.h"
#include "output/forms/saved_results.h"
#include "output/result_files.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace ranvik {

FrmSaveAs::FrmSaveAs(Navigator& wizard) : WizardForm(wizard, "FrmSaveAs") {
    auto* lbl_file = Label("LblFile", QStringLiteral("Root name for Home Range Output:"));
    root_name_box = Text("TxtSaveAs", QString::fromStdString(wizard_.session().loaded().file.root));
    auto* lbl_type = Label("LblSaveType", QStringLiteral("Save file as type: "));
    file_type_combo = new QComboBox(this);
    file_type_combo->setObjectName(QStringLiteral("CmboFileType"));
    file_type_combo->addItem(QString::fromLatin1(
        kCommaFileTypeText.data(), static_cast<qsizetype>(kCommaFileTypeText.size())));
    for (const std::string_view text : {kTabFileTypeText, kGeoTiffTypeText, kContourTypeText}) {
        file_type_combo->addItem(
            QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
    auto* lbl_look_in = Label("LblLookIn", QStringLiteral("Save to drive:"));
    auto* label1 = Label("Label1", QStringLiteral("Save file in drive:"));
    drive_combo = new QComboBox(this);
    drive_combo->setObjectName(QStringLiteral("DrvFile"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady()) {
            drive_combo->addItem(volume.rootPath());
        }
    }
    auto* lbl_directory = Label("LblDirectory", QStringLiteral("Save in directory:"));
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setRootPath(QDir::rootPath());
    folder_list = new QTreeView(this);
    folder_list->setObjectName(QStringLiteral("DirFile"));
    folder_list->setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column) {
        folder_list->hideColumn(column);
    }
    folder_list->header()->hide();
    folder_list->setMinimumHeight(220);
    connect(folder_list, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { directory_ = folders_->filePath(index); });
    connect(drive_combo, &QComboBox::textActivated, this,
            [this](const QString& root) { SetDirectory(root); });
    auto* save = Button("CmdSave", QStringLiteral("Save"), [this] { CmdSave_Click(); });
    auto* view = Button("CmdViewHomeRange", QStringLiteral("View Home Range..."), [this] {
        wizard_.Unload(FormId::Picture);
        wizard_.Show(FormId::Picture);
    });

    auto* grid = new QGridLayout;
    grid->addWidget(lbl_file, 0, 0);
    grid->addWidget(root_name_box, 0, 1);
    grid->addWidget(lbl_type, 1, 0);
    grid->addWidget(file_type_combo, 1, 1);
    grid->addWidget(lbl_look_in, 2, 0);
    grid->addWidget(drive_combo, 2, 1);
    grid->addWidget(label1, 3, 0);
    grid->addWidget(lbl_directory, 4, 0, Qt::AlignTop);
    grid->addWidget(folder_list, 4, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(ButtonRow({view, save}));
    setFixedWidth(560);
    SetDirectory(QDir::currentPath());
}

QString FrmSaveAs::Directory() const {
    return directory_;
}

void FrmSaveAs::SetDirectory(const QString& path) {
    directory_ = path;
    const QModelIndex index = folders_->index(path);
    folder_list->setCurrentIndex(index);
    folder_list->scrollTo(index);
}

void FrmSaveAs::CmdSave_Click() {
    Session& session = wizard_.session();
    const auto type = FileTypeFromText(file_type_combo->currentText().toStdString());
    const QString folder = Directory();
    const SaveReport report =
        SaveResults(session, folder.toStdString(), root_name_box->text().toStdString(),
                    type.value_or(FileType::CommaDelimited));
    if (!report.Ok()) {
        QString text;
        for (const std::string& error : report.errors) {
            text += QString::fromStdString(error) + QLatin1Char('\n');
        }
        Message(text.trimmed());
        return; // every result that was not written still waits; choose another folder
    }
    const QString shown = QDir::toNativeSeparators(folder);
    if (report.brownian_bridge) {
        Message(QStringLiteral("Browninan Bridge Output File Saved to ") + shown);
        wizard_.Show(FormId::BBAnalysis);
    } else {
        Message(QStringLiteral("Home Range Estimates Saved to ") + shown);
        wizard_.Show(FormId::Compare);
    }
    wizard_.Unload(FormId::Picture);
    wizard_.Unload(FormId::SaveAs);
}

FrmHRComparison::FrmHRComparison(Navigator& wizard) : WizardForm(wizard, "FrmHRComparison") {
    setWindowTitle(QStringLiteral("Home Range Model Comparison"));
    comparison_box = new QPlainTextEdit(this);
    comparison_box->setObjectName(QStringLiteral("TxtHRComparison"));
    comparison_box->setReadOnly(true);
    comparison_box->setLineWrapMode(QPlainTextEdit::NoWrap);
    comparison_box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* previous =
        Button("CmdPrevious", QStringLiteral("<< Previous"), [this] { CmdPrevious_Click(); });
    auto* output = Button("Command1", QStringLiteral("Output log-likelihoods at each location"),
                          [this] { Command1_Click(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(comparison_box);
    layout->addLayout(ButtonRow({previous, output}));
    resize(860, 300);
    comparison_box->setPlainText(
        QString::fromStdString(ComparisonTable(wizard_.session(), Estimators())));
}

void FrmHRComparison::CmdPrevious_Click() {
    wizard_.Show(FormId::Compare);
    wizard_.Unload(FormId::Comparison);
}

void FrmHRComparison::Command1_Click() {
    wizard_.session().MarkLikelihoodsWaiting(true);
    wizard_.Show(FormId::SaveAs);
    wizard_.Unload(FormId::Comparison);
}

} // namespace ranvik
