#include "app/fFormOpenLocation.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pivrel::app {

TFormOpenLocation::TFormOpenLocation(QWidget* parent, std::string listFile)
    : QDialog(parent)
    , m_locations(std::move(listFile))
{
    setObjectName("FormOpenLocation");
    setWindowTitle("Open a Location");
    FileChooser = &TFormOpenLocation::ChooseFile;

    GroupBox1 = new QGroupBox("Open location");
    GroupBox1->setObjectName("GroupBox1");
    BoxLocation = new QComboBox;
    BoxLocation->setObjectName("BoxLocation");
    BoxLocation->setEditable(true);
    // Entries join the list only through OK, at their sorted place.
    BoxLocation->setInsertPolicy(QComboBox::NoInsert);
    BoxLocation->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Label1 = new QLabel("&Location (Can be a file or an internet address)");
    Label1->setObjectName("Label1");
    Label1->setBuddy(BoxLocation);
    BitBtn1 = new QPushButton("&Browse");
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setAutoDefault(false);
    BitBtn2 = new QPushButton("OK");
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setDefault(true);
    BitBtn3 = new QPushButton("Cancel");
    BitBtn3->setObjectName("BitBtn3");
    BitBtn3->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(BoxLocation, 1);
    row->addWidget(BitBtn1);
    auto* group = new QVBoxLayout(GroupBox1);
    group->addWidget(Label1);
    group->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    setFixedSize(QSize(473, 114).expandedTo(minimumSizeHint()));

    m_locations.Load();
    FillBox();
}

void TFormOpenLocation::FillBox()
{
    BoxLocation->clear();
    for (const auto& entry : m_locations.Items())
        BoxLocation->addItem(QString::fromStdString(entry));
    // Nothing is chosen until the dialog is shown.
    BoxLocation->setCurrentIndex(-1);
    BoxLocation->setEditText(QString());
}

std::string TFormOpenLocation::Location() const
{
    return BoxLocation->currentText().toStdString();
}

void TFormOpenLocation::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    BoxLocation->setFocus();
    if (BoxLocation->currentIndex() < 0 && BoxLocation->currentText().isEmpty() && BoxLocation->count() > 0)
        BoxLocation->setCurrentIndex(0);
}

void TFormOpenLocation::BitBtn1Click()
{
    if (!FileChooser)
        return;
    const QString current = QDir::currentPath();
    const std::string chosen = FileChooser(this);
    QDir::setCurrent(current);
    if (!chosen.empty())
        BoxLocation->setEditText(QString::fromStdString("file://" + chosen));
}

std::string TFormOpenLocation::ChooseFile(QWidget* parent)
{
    QFileDialog dialog(parent, "Open WML page", QString(), "WML Pages (*.wml)");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath().toStdString();
}

void TFormOpenLocation::BitBtn2Click()
{
    const std::string text = Location();
    if (text.empty()) {
        reject();
        return;
    }
    m_locations.Add(text);
    accept();
}

void TFormOpenLocation::done(int result)
{
    // A list that cannot be written is not worth keeping the dialog open for; the window says so.
    m_saveError.clear();
    m_locations.Save(m_saveError);
    QDialog::done(result);
}

} // namespace pivrel::app
