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

    emblem_picture_ = new QLabel(this);
    emblem_picture_->setObjectName(QStringLiteral("Picture1"));
    emblem_picture_->setPixmap(Emblem());

    title_label_ = new QLabel(QStringLiteral("Welcome to Ranvik"), this);
    title_label_->setObjectName(QStringLiteral("Label1"));
    QFont title_font = title_label_->font();
    title_font.setPointSizeF(title_font.pointSizeF() * 1.8);
    title_font.setBold(true);
    title_label_->setFont(title_font);

    summary_label_ = new QLabel(
        QStringLiteral(
            "Ranvik is stand-alone software for estimating animal movements and home ranges"),
        this);
    summary_label_->setObjectName(QStringLiteral("Label2"));
    summary_label_->setWordWrap(true);

    next_button_ = new QPushButton(QStringLiteral("Next >>"), this);
    next_button_->setObjectName(QStringLiteral("CmdNext"));
    next_button_->setDefault(true);
    connect(next_button_, &QPushButton::clicked, this, [this] { CmdNext_Click(); });

    auto* texts = new QVBoxLayout;
    texts->addWidget(title_label_);
    texts->addWidget(summary_label_);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(emblem_picture_, 0, Qt::AlignTop);
    top->addSpacing(16);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(next_button_);
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
