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
    TxtSaveAs = Text("TxtSaveAs", QString::fromStdString(wizard_.session().loaded().file.root));
    auto* lbl_type = Label("LblSaveType", QStringLiteral("Save file as type: "));
    CmboFileType = new QComboBox(this);
    CmboFileType->setObjectName(QStringLiteral("CmboFileType"));
    CmboFileType->addItem(QString::fromLatin1(kCommaFileTypeText.data(),
                                              static_cast<qsizetype>(kCommaFileTypeText.size())));
    for (const std::string_view text : {kTabFileTypeText, kGeoTiffTypeText, kContourTypeText}) {
        CmboFileType->addItem(
            QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
    auto* lbl_look_in = Label("LblLookIn", QStringLiteral("Save to drive:"));
    auto* label1 = Label("Label1", QStringLiteral("Save file in drive:"));
    DrvFile = new QComboBox(this);
    DrvFile->setObjectName(QStringLiteral("DrvFile"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady()) {
            DrvFile->addItem(volume.rootPath());
        }
    }
    auto* lbl_directory = Label("LblDirectory", QStringLiteral("Save in directory:"));
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setRootPath(QDir::rootPath());
    DirFile = new QTreeView(this);
    DirFile->setObjectName(QStringLiteral("DirFile"));
    DirFile->setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column) {
        DirFile->hideColumn(column);
    }
    DirFile->header()->hide();
    DirFile->setMinimumHeight(220);
    connect(DirFile, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { directory_ = folders_->filePath(index); });
    connect(DrvFile, &QComboBox::textActivated, this,
            [this](const QString& root) { SetDirectory(root); });
    auto* save = Button("CmdSave", QStringLiteral("Save"), [this] { CmdSave_Click(); });
    auto* view = Button("CmdViewHomeRange", QStringLiteral("View Home Range..."), [this] {
        wizard_.Unload(FormId::Picture);
        wizard_.Show(FormId::Picture);
    });

    auto* grid = new QGridLayout;
    grid->addWidget(lbl_file, 0, 0);
    grid->addWidget(TxtSaveAs, 0, 1);
    grid->addWidget(lbl_type, 1, 0);
    grid->addWidget(CmboFileType, 1, 1);
    grid->addWidget(lbl_look_in, 2, 0);
    grid->addWidget(DrvFile, 2, 1);
    grid->addWidget(label1, 3, 0);
    grid->addWidget(lbl_directory, 4, 0, Qt::AlignTop);
    grid->addWidget(DirFile, 4, 1);
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
    DirFile->setCurrentIndex(index);
    DirFile->scrollTo(index);
}

void FrmSaveAs::CmdSave_Click() {
    Session& session = wizard_.session();
    const auto type = FileTypeFromText(CmboFileType->currentText().toStdString());
    const QString folder = Directory();
    const SaveReport report =
        SaveResults(session, folder.toStdString(), TxtSaveAs->text().toStdString(),
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
    TxtHRComparison = new QPlainTextEdit(this);
    TxtHRComparison->setObjectName(QStringLiteral("TxtHRComparison"));
    TxtHRComparison->setReadOnly(true);
    TxtHRComparison->setLineWrapMode(QPlainTextEdit::NoWrap);
    TxtHRComparison->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* previous =
        Button("CmdPrevious", QStringLiteral("<< Previous"), [this] { CmdPrevious_Click(); });
    auto* output = Button("Command1", QStringLiteral("Output log-likelihoods at each location"),
                          [this] { Command1_Click(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TxtHRComparison);
    layout->addLayout(ButtonRow({previous, output}));
    resize(860, 300);
    TxtHRComparison->setPlainText(
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
