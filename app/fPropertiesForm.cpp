#include "app/fPropertiesForm.h"

#include "app/AppPaths.h"
#include "app/LocationLists.h"
#include "view/QtString.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace pivrel::app {

namespace {

    template <typename T> T* Named(T* widget, const char* name)
    {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    }

    // Masks a password field with "*" whatever character the platform's style prefers.
    class TStarPasswordStyle : public QProxyStyle
    {
    public:
        int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
            QStyleHintReturn* returnData) const override
        {
            if (hint == SH_LineEdit_PasswordCharacter)
                return '*';
            return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    };

    QLabel* BuddyLabel(const char* caption, QWidget* buddy)
    {
        auto* label = new QLabel(QString::fromLatin1(caption));
        label->setBuddy(buddy);
        return label;
    }

    const char* const kPictureFilter = "All (*.jpg *.jpeg *.bmp *.ico *.emf *.wmf);;"
                                       "JPEG Image File (*.jpg);;JPEG Image File (*.jpeg);;Bitmaps (*.bmp);;"
                                       "Icons (*.ico);;Enhanced Metafiles (*.emf);;Metafiles (*.wmf)";

} // namespace

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    for (const QString& item : items) {
        m_items.push_back(new QRadioButton(item, this));
        layout->addWidget(m_items.back());
    }
    SetItemIndex(0);
}

int TRadioGroup::ItemIndex() const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->isChecked())
            return static_cast<int>(i);
    }
    return -1;
}

void TRadioGroup::SetItemIndex(int index)
{
    if (m_items.empty())
        return;
    if (index < 0 || static_cast<std::size_t>(index) >= m_items.size())
        index = 0;
    m_items[static_cast<std::size_t>(index)]->setChecked(true);
}

TPropertiesForm::TPropertiesForm(TDialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
{
    setObjectName("PropertiesForm");
    setWindowTitle("Properties");
    PictureChooser = &TPropertiesForm::ChoosePicture;

    PageControl1 = Named(new QTabWidget, "PageControl1");
    PageControl1->addTab(CreateGeneralTab(), "General");
    PageControl1->addTab(CreateNetworkTab(), "Network");
    PageControl1->addTab(CreateHistoryTab(), "History");

    BitBtn1 = Named(new QPushButton("&OK"), "BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = Named(new QPushButton("&Cancel"), "BitBtn2");
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);

    // A fixed dialog border: the design size, or what the fonts of this desktop need.
    setFixedSize(QSize(399, 294).expandedTo(minimumSizeHint()));
}

QWidget* TPropertiesForm::CreateGeneralTab()
{
    auto* page = Named(new QWidget, "TabSheet1");
    BoxUseBGImage = Named(new QCheckBox("Use &background image behind text"), "BoxUseBGImage");
    EditBGFilename = Named(new QLineEdit, "EditBGFilename");
    SpeedButton1 = Named(new QToolButton, "SpeedButton1");
    SpeedButton1->setText("...");
    SpeedButton1->setToolTip("Browse");
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    RadioBGMode
        = Named(new TRadioGroup("Image Mode", { "&1 Streched", "&2 Tiled", "&3 Tiled and Scrolling" }),
            "RadioBGMode");
    BoxUseButtonText = Named(new QCheckBox("&Show Button Texts"), "BoxUseButtonText");
    Box_Transparent = Named(new QCheckBox("&Transparent Images ( wbmp )"), "Box_Transparent");
    EditHomePage = Named(new QLineEdit, "EditHomePage");

    auto* file = new QHBoxLayout;
    file->addWidget(EditBGFilename);
    file->addWidget(SpeedButton1);
    auto* boxes = new QVBoxLayout;
    boxes->addWidget(BoxUseButtonText);
    boxes->addWidget(Box_Transparent);
    boxes->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(RadioBGMode);
    middle->addLayout(boxes);

    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(4);
    layout->addWidget(BoxUseBGImage);
    layout->addLayout(file);
    layout->addLayout(middle);
    layout->addWidget(BuddyLabel("&Home Page", EditHomePage));
    layout->addWidget(EditHomePage);
    layout->addStretch();
    return page;
}

QWidget* TPropertiesForm::CreateNetworkTab()
{
    auto* page = Named(new QWidget, "TabSheet2");
    BoxUseProxy = Named(new QCheckBox("Use &Proxy"), "BoxUseProxy");
    EditProxyAddr = Named(new QLineEdit, "EditProxyAddr");
    SpinProxyPort = Named(new QSpinBox, "SpinProxyPort");
    SpinProxyPort->setRange(TPivrelSettings::kMinProxyPort, TPivrelSettings::kMaxProxyPort);
    SpinProxyPort->setValue(80);
    BoxUseAuthentication = Named(new QCheckBox("Use &Authentication"), "BoxUseAuthentication");
    EditUserName = Named(new QLineEdit, "EditUserName");
    EditPassword = Named(new QLineEdit, "EditPassword");
    EditPassword->setEchoMode(QLineEdit::Password);
    auto* star = new TStarPasswordStyle;
    star->setParent(EditPassword);
    EditPassword->setStyle(star);

    BoxAcceptCookies = Named(new QCheckBox("Accept coo&kies"), "BoxAcceptCookies");
    BtnClearCookies = Named(new QPushButton("C&lear Cookies"), "BtnClearCookies");
    connect(BtnClearCookies, &QPushButton::clicked, this, [this] { BtnClearCookiesClick(); });

    auto* proxy = new QHBoxLayout;
    proxy->addWidget(EditProxyAddr, 1);
    proxy->addWidget(BuddyLabel("P&ort", SpinProxyPort));
    proxy->addWidget(SpinProxyPort);
    auto* login = new QFormLayout;
    login->addRow(BuddyLabel("&Username", EditUserName), EditUserName);
    login->addRow(BuddyLabel("Pass&word", EditPassword), EditPassword);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(BoxUseProxy);
    layout->addLayout(proxy);
    layout->addSpacing(8);
    layout->addWidget(BoxUseAuthentication);
    layout->addLayout(login);
    layout->addSpacing(8);
    auto* cookies = new QHBoxLayout;
    cookies->addWidget(BoxAcceptCookies);
    cookies->addStretch();
    cookies->addWidget(BtnClearCookies);
    layout->addLayout(cookies);
    layout->addStretch();
    return page;
}

QWidget* TPropertiesForm::CreateHistoryTab()
{
    auto* page = Named(new QWidget, "TabSheet3");
    SpinMaxHistory = Named(new QSpinBox, "SpinMaxHistory");
    SpinMaxHistory->setRange(TPivrelSettings::kMinMaxHistory, TPivrelSettings::kMaxMaxHistory);
    SpinMaxHistory->setValue(100);
    BitBtn3 = Named(new QPushButton("Clear &History"), "BitBtn3");
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });

    auto* row = new QHBoxLayout;
    row->addWidget(BuddyLabel("&Max number of entries in history", SpinMaxHistory));
    row->addWidget(SpinMaxHistory);
    row->addStretch();
    auto* clear = new QHBoxLayout;
    clear->addWidget(BitBtn3);
    clear->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addLayout(clear);
    layout->addStretch();
    return page;
}

void TPropertiesForm::ToDialog(const TPivrelSettings& settings)
{
    BoxUseBGImage->setChecked(settings.UseBackImage);
    EditBGFilename->setText(view::ToQString(settings.BackImageFile));
    RadioBGMode->SetItemIndex(settings.BackImageMode);
    BoxUseButtonText->setChecked(settings.UseButtonTexts);
    Box_Transparent->setChecked(settings.Transparent);
    EditHomePage->setText(view::ToQString(settings.HomePage));
    SpinMaxHistory->setValue(settings.MaxHistory);
    BoxUseProxy->setChecked(settings.UseProxy);
    EditProxyAddr->setText(view::ToQString(settings.ProxyAddr));
    SpinProxyPort->setValue(settings.ProxyPort);
    BoxUseAuthentication->setChecked(settings.UseAuthentication);
    EditUserName->setText(view::ToQString(settings.UserName));
    EditPassword->setText(view::ToQString(settings.Password));
    BoxAcceptCookies->setChecked(settings.AcceptCookies);
}

TPivrelSettings TPropertiesForm::FromDialog() const
{
    TPivrelSettings settings;
    settings.UseBackImage = BoxUseBGImage->isChecked();
    settings.BackImageFile = EditBGFilename->text().toStdString();
    settings.BackImageMode = std::max(0, RadioBGMode->ItemIndex());
    settings.UseButtonTexts = BoxUseButtonText->isChecked();
    settings.Transparent = Box_Transparent->isChecked();
    settings.HomePage = EditHomePage->text().toStdString();
    settings.MaxHistory = SpinMaxHistory->value();
    settings.UseProxy = BoxUseProxy->isChecked();
    settings.ProxyAddr = EditProxyAddr->text().toStdString();
    settings.ProxyPort = SpinProxyPort->value();
    settings.UseAuthentication = BoxUseAuthentication->isChecked();
    settings.UserName = EditUserName->text().toStdString();
    settings.Password = EditPassword->text().toStdString();
    settings.AcceptCookies = BoxAcceptCookies->isChecked();
    return settings;
}

std::string TPropertiesForm::BackgroundStartDir() const
{
    const QString backgrounds = QDir::current().absoluteFilePath("Backgrounds");
    if (QFileInfo(backgrounds).isDir())
        return backgrounds.toStdString();
    return TAppPaths::DataFile("pics");
}

void TPropertiesForm::SpeedButton1Click()
{
    if (!PictureChooser)
        return;
    // The file dialog must not move the process's current directory: relative picture names
    // are taken from it.
    const QString current = QDir::currentPath();
    const std::string chosen = PictureChooser(this, BackgroundStartDir());
    QDir::setCurrent(current);
    if (!chosen.empty())
        EditBGFilename->setText(view::ToQString(chosen));
}

std::string TPropertiesForm::ChoosePicture(QWidget* parent, const std::string& startDir)
{
    QFileDialog dialog(
        parent, "Open background", view::ToQString(startDir), QString::fromLatin1(kPictureFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    auto* preview = new QLabel;
    preview->setFixedSize(160, 160);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
        const QPixmap picture(path);
        preview->setPixmap(picture.isNull()
                ? QPixmap()
                : picture.scaled(preview->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath().toStdString();
}

void TPropertiesForm::BitBtn3Click()
{
    if (!m_dialogs.AskYesNo(this, "Pivrel", "Are you sure that you want to clear the history ?"))
        return;
    if (OnClearHistory)
        OnClearHistory();
    DeleteHistoryFiles();
}

void TPropertiesForm::BtnClearCookiesClick()
{
    if (!m_dialogs.AskYesNo(this, "Pivrel", "Are you sure that you want to clear the cookies ?"))
        return;
    if (OnClearCookies)
        OnClearCookies();
}

} // namespace pivrel::app
