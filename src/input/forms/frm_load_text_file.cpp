#include "input/forms/frm_load_text_file.h"

#include "input/forms/loaded_files.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QVBoxLayout>

namespace ranvik {

FrmLoadTextFile::FrmLoadTextFile(Navigator& wizard) : WizardForm(wizard, "FrmLoadTextFile") {
    Label2 = Label("Label2", QStringLiteral("Locations File:"));
    Text1 = Text("Text1");
    Text1->setReadOnly(true);
    Command1 = Button("Command1", QStringLiteral("Load Input Locations File..."),
                      [this] { Command1_Click(); });
    Label7 = Label("Label7", QStringLiteral("Number of locations:"));
    TxtNumOfLocs = Text("TxtNumOfLocs");
    TxtNumOfLocs->setReadOnly(true);
    LabelInstructions = Label("LabelInstructions", {}, true);
    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* grid = new QGridLayout;
    grid->addWidget(Label2, 0, 0);
    grid->addWidget(Text1, 0, 1);
    grid->addWidget(Command1, 1, 1, Qt::AlignLeft);
    grid->addWidget(Label7, 2, 0);
    grid->addWidget(TxtNumOfLocs, 2, 1, Qt::AlignLeft);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelInstructions);
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
    Text1->setText(path);
    TxtNumOfLocs->setText(QString::number(outcome.count));
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
