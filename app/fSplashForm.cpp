#include "app/fSplashForm.h"

#include "base/Version.h"

#include "app/fAboutForm.h"
#include "view/QtString.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

namespace pivrel::app {

namespace {

    constexpr int kPictureWidth = 591;
    constexpr int kPictureHeight = 372;
    constexpr int kBevel = 2;

} // namespace

QPixmap TSplashForm::Picture()
{
    QPixmap picture(kPictureWidth, kPictureHeight);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kPictureHeight);
    sky.setColorAt(0, QColor(0x1C, 0x3D, 0x6E));
    sky.setColorAt(1, QColor(0x5F, 0x9E, 0xD8));
    p.fillRect(picture.rect(), sky);
    // Signal waves spreading from the handset.
    p.setPen(QPen(QColor(255, 255, 255, 70), 3));
    for (int r = 60; r <= 300; r += 48)
        p.drawEllipse(QPointF(150, 190), r, r);
    p.drawPixmap(86, 90, TAboutForm::ProgramIcon(200));
    QFont title("Arial");
    title.setPixelSize(72);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(280, 110, 290, 90), Qt::AlignLeft | Qt::AlignVCenter, "Pivrel");
    QFont line("Arial");
    line.setPixelSize(20);
    p.setFont(line);
    p.drawText(QRect(284, 196, 290, 30), Qt::AlignLeft | Qt::AlignVCenter, "WML browser");
    return picture;
}

TSplashForm::TSplashForm(QWidget* parent)
    : QFrame(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName("SplashForm");
    setWindowTitle("About Pivrel");
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(kBevel);
    setFixedSize(kPictureWidth + 2 * kBevel, kPictureHeight + 2 * kBevel);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(kBevel, kBevel, kPictureWidth, kPictureHeight);
    Image1->setPixmap(Picture());
    Label1 = new QLabel(QString("Version ") + view::ToQString(base::kProductVersion), this);
    Label1->setObjectName("Label1");
    QFont font("Arial");
    font.setPixelSize(16);
    font.setBold(true);
    Label1->setFont(font);
    Label1->setStyleSheet("color: white; background: transparent");
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label1->setGeometry(kBevel + 300, kBevel + kPictureHeight - 40, 270, 24);
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSplashForm::ShowUntilShown(QWidget& mainWindow)
{
    m_watched = &mainWindow;
    mainWindow.installEventFilter(this);
    show();
    raise();
    // One paint, so that the picture is there while the rest starts; no waiting beyond that.
    repaint();
}

bool TSplashForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watched && event->type() == QEvent::Show) {
        m_watched->removeEventFilter(this);
        m_watched = nullptr;
        hide();
    }
    return QFrame::eventFilter(watched, event);
}

void TSplashForm::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Image1->update();
}

} // namespace pivrel::app
