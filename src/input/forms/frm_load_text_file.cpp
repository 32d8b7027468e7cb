#include "input/forms/frm_load_text_file.h"

#include "input/forms/loaded_files.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QVBoxLayout>

namespace ranvik {

FrmLoadTextFile::FrmLoadTextFile(Navigator& wizard) : WizardForm(wizard, "FrmLoadTextFile") {
    file_caption_label = Label("Label2", QStringLiteral("Locations File:"));
    file_name_box = Text("Text1");
    file_name_box->setReadOnly(true);
    load_button = Button("Command1", QStringLiteral("Load Input Locations File..."),
                         [this] { Command1_Click(); });
    count_caption_label = Label("Label7", QStringLiteral("Number of locations:"));
    count_box = Text("TxtNumOfLocs");
    count_box->setReadOnly(true);
    instructions_label = Label("LabelInstructions", {}, true);
    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* grid = new QGridLayout;
    grid->addWidget(file_caption_label, 0, 0);
    grid->addWidget(file_name_box, 0, 1);
    grid->addWidget(load_button, 1, 1, Qt::AlignLeft);
    grid->addWidget(count_caption_label, 2, 0);
    grid->addWidget(count_box, 2, 1, Qt::AlignLeft);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instructions_label);
    layout->addLayout(grid);
    layout->addLayout(ButtonRow({previous, next}));
    setFixedWidth(560);
}

void FrmLoadTextFile::Command1_Click() {
    const QString path = wizard_.dialogs().OpenFileName(this, {}, {});
    if (path.isEmpty()) {
        return;
    }
    Session& session = wizard_.session();
    const bool bridge = wizard_.BridgeDataChosen();
    const TextFilePurpose purpose = TextPurposeFor(bridge, session.choices().DataMode);
    const LoadOutcome outcome = LoadTextFile(session, path.toStdString(), purpose);
    if (!outcome.Ok()) {
        Message(QString::fromStdString(outcome.error));
        return;
    }
    file_name_box->setText(path);
    count_box->setText(QString::number(outcome.count));
    if (purpose == TextFilePurpose::UserPoints) {
        wizard_.ShowUserPointsFile();
    }
}

void FrmLoadTextFile::Command3_Click() {
    wizard_.Show(FormId::InputData);
    hide();
}

void FrmLoadTextFile::CmdNext_Click() {
    if (wizard_.IndependentDataChosen()) {
        wizard_.Show(FormId::Compare);
        wizard_.Unload(FormId::LoadText);
    } else {
        wizard_.ShowBridgeAnalysis();
        hide();
    }
}

} // namespace ranvik
