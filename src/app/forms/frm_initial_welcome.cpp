#include "app/forms/frm_initial_welcome.h"

#include "app/forms/all_forms.h"
#include "app/forms/front_forms.h"
#include "ui/captions.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>


namespace ranvik {
namespace {

// A small emblem: nested home range contours around a scatter of fixes.
QPixmap Emblem() {
    constexpr int kSize = 128;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor greens[] = {QColor(198, 226, 190), QColor(140, 196, 128), QColor(66, 140, 70)};
    const QRectF rings[] = {QRectF(10, 18, 108, 92), QRectF(28, 32, 70, 60),
                            QRectF(46, 46, 34, 30)};
    for (int i = 0; i < 3; ++i) {
        painter.setPen(QPen(greens[2], 1.5));
        painter.setBrush(greens[i]);
        painter.drawEllipse(rings[i]);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 60, 20));
    const QPointF fixes[] = {{60, 60}, {70, 55}, {52, 70}, {80, 72}, {40, 50},
                             {90, 48}, {66, 84}, {30, 80}, {98, 90}, {62, 40}};
    for (const QPointF& fix : fixes) {
        painter.drawEllipse(fix, 2.5, 2.5);
    }
    return pixmap;
}

} // namespace

FrmInitialWelcome::FrmInitialWelcome(Navigator& wizard) : wizard_(wizard) {
    setObjectName(QStringLiteral("FrmInitialWelcome"));
    setWindowTitle(QString::fromLatin1(kFormCaption));

    picture1_ = new QLabel(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setPixmap(Emblem());

    label1_ = new QLabel(QStringLiteral("Welcome to Ranvik"), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    QFont title_font = label1_->font();
    title_font.setPointSizeF(title_font.pointSizeF() * 1.8);
    title_font.setBold(true);
    label1_->setFont(title_font);

    label2_ = new QLabel(
        QStringLiteral(
            "Ranvik is stand-alone software for estimating animal movements and home ranges"),
        this);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setWordWrap(true);

    cmd_next_ = new QPushButton(QStringLiteral("Next >>"), this);
    cmd_next_->setObjectName(QStringLiteral("CmdNext"));
    cmd_next_->setDefault(true);
    connect(cmd_next_, &QPushButton::clicked, this, [this] { CmdNext_Click(); });

    auto* texts = new QVBoxLayout;
    texts->addWidget(label1_);
    texts->addWidget(label2_);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture1_, 0, Qt::AlignTop);
    top->addSpacing(16);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmd_next_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setFixedSize(520, 220);
}

void FrmInitialWelcome::CmdNext_Click() {
    wizard_.Show(FormId::DataType);
    wizard_.Unload(FormId::Welcome);
}

} // namespace ranvik
