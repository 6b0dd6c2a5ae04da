#include "gui/dialogs/aboutform.h"

#include "gui/common/artwork.h"
#include "gui/dialogs/tcss.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace ombrix {

namespace {

QLabel* blueLabel(QWidget* parent, const QString& text, int pixelSize, int left, int top,
                  bool centred) {
    auto* l = new QLabel(text, parent);
    QFont f("Haettenschweiler");
    f.setPixelSize(pixelSize);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(pal);
    l->adjustSize();
    // Centred labels keep their centre where the left position would have put a short text.
    l->move(centred ? (parent->width() - l->width()) / 2 : left, top);
    return l;
}

} // namespace

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(377, 460);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(0, 0, 377, 265);
    auto* image = new QLabel(panel);
    image->setPixmap(drawArtwork(369, 257, false));
    image->setGeometry(4, 4, 369, 257);

    blueLabel(this, "Ombrix", 32, 80, 272, true);
    blueLabel(this, "by", 19, 184, 312, true);
    blueLabel(this, "the Ombrix developers", 19, 76, 336, true);
    blueLabel(this, "Program v1.2", 19, 152, 392, true);

    link_ = new TCss(kAddress, this);
    QFont f("Haettenschweiler");
    f.setPointSize(14);
    link_->setFont(f);
    link_->adjustSize();
    link_->move((width() - link_->width()) / 2, 366);
    connect(link_, &TCss::clicked, this, [this] {
        QDesktopServices::openUrl(QUrl(kAddress)); // the result is not needed: close anyway
        accept();
    });

    auto* ok = new QPushButton("&OK", this);
    ok->setGeometry(152, 424, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::showEvent(QShowEvent* event) {
    link_->setHovered(false);
    if (const QScreen* desktop = screen())
        move(desktop->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

} // namespace ombrix
