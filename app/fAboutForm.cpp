#include "app/fAboutForm.h"

#include "app/FileInfo.h"
#include "app/fMainForm.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace pivrel::app {

namespace {

    QFont Tahoma(int pixels, bool bold)
    {
        QFont font("Tahoma");
        font.setPixelSize(pixels);
        font.setBold(bold);
        return font;
    }

    constexpr const char* kNotice = "Pivrel shows WAP decks the way a mobile phone does, so that WML "
                                    "authors can see and check their sites on the desktop.";
    constexpr const char* kTerms = "This program is provided as it is, without any warranty. You may "
                                   "use and pass it on free of charge.";

} // namespace

QPixmap TAboutForm::ProgramIcon(int size)
{
    QPixmap icon(size, size);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A handset: dark body, light screen with two text lines, and a key pad.
    p.setBrush(QColor(0x20, 0x3A, 0x60));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(8, 1, 16, 30), 3, 3);
    p.setBrush(QColor(0xB8, 0xE0, 0xA0));
    p.drawRect(QRectF(10, 4, 12, 10));
    p.setBrush(QColor(0x20, 0x3A, 0x60));
    p.drawRect(QRectF(11, 6, 8, 1.5));
    p.drawRect(QRectF(11, 9, 6, 1.5));
    p.setBrush(QColor(0xE0, 0xE0, 0xE0));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawEllipse(QRectF(10.5 + col * 4, 17 + row * 4, 3, 2.5));
    return icon;
}

TAboutForm::TAboutForm(const std::string& programFile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("AboutForm");
    setWindowTitle("About Pivrel");
    setFixedSize(303, 286);
    setModal(true);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(16, 16, 32, 32);
    Image1->setPixmap(ProgramIcon(32));

    TFileInfo info;
    info.SourceFileName = programFile;
    info.ReadVersionInfo();

    AppLabel = new QLabel(QString::fromStdString(info.FileDescription), this);
    AppLabel->setObjectName("AppLabel");
    AppLabel->setFont(Tahoma(21, true));
    AppLabel->adjustSize();
    AppLabel->move(64, 14);
    VersionLabel = new QLabel(QString::fromStdString("Version " + info.FileVersion), this);
    VersionLabel->setObjectName("VersionLabel");
    VersionLabel->adjustSize();
    // Its right edge lines up with the name's.
    const int right = AppLabel->text().isEmpty() ? 287 : AppLabel->geometry().right();
    VersionLabel->move(std::max(64, right - VersionLabel->width() + 1), 14 + AppLabel->height() + 2);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(16, 72, 271, 160);
    NoticeLabel = new QLabel(kNotice, Panel1);
    NoticeLabel->setObjectName("NoticeLabel");
    NoticeLabel->setAlignment(Qt::AlignCenter);
    NoticeLabel->setWordWrap(true);
    NoticeLabel->setGeometry(8, 6, 255, 60);
    Label2 = new QLabel(kTerms, Panel1);
    Label2->setObjectName("Label2");
    Label2->setWordWrap(true);
    Label2->setGeometry(8, 70, 255, 52);
    Label1 = new QLabel(QString::fromStdString(MakerAddress("/")), Panel1);
    Label1->setObjectName("Label1");
    QFont link = Tahoma(13, false);
    link.setUnderline(true);
    Label1->setFont(link);
    Label1->setStyleSheet("color: blue");
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setGeometry(8, 128, 255, 20);
    Label1->installEventFilter(this);

    BitBtn1 = new QPushButton("&Close", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(114, 246, 75, 28);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::Label1Click()
{
    if (OnOpenURL)
        OnOpenURL(MakerAddress("/index.htm"));
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease) {
        Label1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pivrel::app
