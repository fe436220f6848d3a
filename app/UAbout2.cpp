#include "app/UAbout2.h"

#include <QPainter>
#include <QPixmap>

#include "app/WebAddress.h"
#include "common/ActionGuard.h"
#include "common/Version.h"
#include "controls/ClickableLabel.h"
#include "controls/FlatButton.h"
#include "controls/WindowLook.h"
#include "platform/Shell.h"

namespace {

// Our emblem: a ring around a stylised "T" joining two ports.
QPixmap makeLogo() {
    QPixmap logo(340, 340);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x1F, 0x4E, 0x8C), 22));
    painter.setBrush(QColor(0xE8, 0xF0, 0xFA));
    painter.drawEllipse(QRectF(20, 20, 300, 300));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1F, 0x4E, 0x8C));
    painter.drawRect(QRectF(95, 95, 150, 36));
    painter.drawRect(QRectF(152, 95, 36, 150));
    painter.setBrush(QColor(0xE0, 0x6C, 0x1A));
    painter.drawEllipse(QPointF(110, 250), 22, 22);
    painter.drawEllipse(QPointF(230, 250), 22, 22);
    return logo;
}

QLabel* addLabel(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

}  // namespace

TFAbout2::TFAbout2(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("FAbout2"));
    setWindowTitle(QStringLiteral("About..."));
    applyWindowLook(*this);
    resize(405, 145);

    Image2 = new ClickableLabel(this);
    Image2->setPixmap(makeLogo());
    Image2->setScaledContents(true);
    Image2->setCursor(Qt::PointingHandCursor);
    Label1 = addLabel(this, QStringLiteral("Software Tarvel"));
    QFont bold = Label1->font();
    bold.setBold(true);
    bold.setPixelSize(13);
    Label1->setFont(bold);
    Label2 = addLabel(this, QStringLiteral("Modbus RTU / Modbus ASCII - Converter"));
    Label3 = addLabel(this, QStringLiteral("Software Code :"));
    Label8 = addLabel(this, QString());
    Label6 = addLabel(this, QStringLiteral("Version :"));
    Label9 = addLabel(this, QString::fromLatin1(kVersion));
    Label7 = addLabel(this, QStringLiteral("Document Code :"));
    Label10 = addLabel(this, QStringLiteral("MN40917"));
    LbButton1 = new FlatButton(QStringLiteral("OK"), this, QColor(Qt::yellow), QColor(Qt::yellow));
    connect(LbButton1, &QPushButton::clicked, this, &QDialog::accept);

    Label4 = new ClickableLabel(QString::fromLatin1(kMakerWebAddressText), this);
    QFont link = Label4->font();
    link.setUnderline(true);
    Label4->setFont(link);
    QPalette palette = Label4->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    Label4->setPalette(palette);
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->onClick = [this] { runGuarded([this] { Label4Click(); }); };
    Image2->onClick = Label4->onClick;
}

void TFAbout2::FormShow() {
    setOuterSize(*this, 413, 179);
    applyWindowLook(*this);
    Image2->setGeometry(32, 24, 81, 81);
    const std::pair<QLabel*, QPoint> labels[] = {
        {Label1, {120, 23}}, {Label2, {120, 39}}, {Label3, {120, 61}}, {Label8, {240, 61}},
        {Label6, {120, 77}}, {Label9, {240, 77}}, {Label7, {120, 93}}, {Label10, {240, 93}}};
    Label8->setText(QStringLiteral("SW40917"));
    for (const auto& [label, position] : labels) {
        label->move(position);
        label->adjustSize();
        label->setVisible(true);
    }
    LbButton1->setGeometry(32, 115, 81, 22);
    Label4->setGeometry(296, 132, 105, 13);
    for (QWidget* control : {static_cast<QWidget*>(Image2), static_cast<QWidget*>(LbButton1),
                             static_cast<QWidget*>(Label4)})
        control->setVisible(true);
}

void TFAbout2::showEvent(QShowEvent* event) {
    FormShow();
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

void TFAbout2::Label4Click() {
    platform::openWebAddress(kMakerWebAddress);
}
