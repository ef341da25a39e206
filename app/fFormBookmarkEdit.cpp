#include "app/fFormBookmarkEdit.h"

#include "base/Ascii.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace pivrel::app {

namespace {

    constexpr const char* kCaption = "Pivrel";
    constexpr int kImageSize = 32;

    void DrawFind(QPainter& p)
    {
        p.setPen(QPen(QColor(0x30, 0x30, 0x40), 3));
        p.setBrush(QColor(0xc8, 0xe4, 0xff));
        p.drawEllipse(QRectF(4, 4, 16, 16));
        p.setPen(QPen(QColor(0x80, 0x50, 0x20), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(19, 19), QPointF(28, 28));
    }

    void DrawGoTo(QPainter& p)
    {
        const QPolygonF arrow { { 4, 12 }, { 16, 12 }, { 16, 5 }, { 28, 16 }, { 16, 27 }, { 16, 20 },
            { 4, 20 } };
        p.setPen(QPen(QColor(0x10, 0x40, 0x10), 2));
        p.setBrush(QColor(0x40, 0xb0, 0x40));
        p.drawPolygon(arrow);
    }

    void DrawDelete(QPainter& p)
    {
        p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(7, 7), QPointF(25, 25));
        p.drawLine(QPointF(25, 7), QPointF(7, 25));
    }

    void DrawAdd(QPainter& p)
    {
        p.setPen(QPen(QColor(0x10, 0x40, 0x80), 2));
        p.setBrush(QColor(0xf0, 0xc0, 0x30));
        p.drawRect(QRectF(5, 3, 16, 24));
        p.setPen(QPen(QColor(0x20, 0x90, 0x20), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(24, 14), QPointF(24, 28));
        p.drawLine(QPointF(17, 21), QPointF(31, 21));
    }

    void DrawClose(QPainter& p)
    {
        p.setPen(QPen(QColor(0x50, 0x30, 0x10), 2));
        p.setBrush(QColor(0xb0, 0x80, 0x50));
        p.drawRect(QRectF(6, 3, 16, 26));
        p.setBrush(QColor(0xf0, 0xe0, 0x60));
        p.drawEllipse(QRectF(17, 15, 3, 3));
        p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
        p.drawLine(QPointF(3, 29), QPointF(29, 29));
    }

    void DrawBookmark(QPainter& p)
    {
        QPainterPath ribbon;
        ribbon.moveTo(8, 3);
        ribbon.lineTo(24, 3);
        ribbon.lineTo(24, 29);
        ribbon.lineTo(16, 21);
        ribbon.lineTo(8, 29);
        ribbon.closeSubpath();
        p.setPen(QPen(QColor(0x60, 0x10, 0x10), 2));
        p.setBrush(QColor(0xd0, 0x30, 0x30));
        p.drawPath(ribbon);
    }

} // namespace

QIcon TFormBookmarkEdit::ToolImage(int index)
{
    QPixmap picture(kImageSize, kImageSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0:
        DrawFind(painter);
        break;
    case 1:
        DrawGoTo(painter);
        break;
    case 2:
        DrawDelete(painter);
        break;
    case 3:
        DrawAdd(painter);
        break;
    case 4:
        DrawClose(painter);
        break;
    default:
        DrawBookmark(painter);
        break;
    }
    painter.end();
    return QIcon(picture);
}

TFormBookmarkEdit::TFormBookmarkEdit(TDialogs& dialogs, QWidget* parent, std::string bookmarkFile)
    : QDialog(parent)
    , m_dialogs(dialogs)
    , m_bookmarks(std::move(bookmarkFile))
{
    setObjectName("FormBookmarkEdit");
    setWindowTitle("Pivrel Bookmarks");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
        | Qt::WindowCloseButtonHint);
    for (int i = 0; i < 6; ++i)
        ImageList1.push_back(ToolImage(i));

    ToolBar1 = new QToolBar;
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolButton2 = AddButton("ToolButton2", "&Go To", 1, &TFormBookmarkEdit::ToolButton2Click);
    ToolBar1->addSeparator();
    ToolButton1 = AddButton("ToolButton1", "&Add New", 3, &TFormBookmarkEdit::ToolButton1Click);
    ToolButton4 = AddButton("ToolButton4", "&Edit", 5, &TFormBookmarkEdit::ToolButton4Click);
    ToolButton3 = AddButton("ToolButton3", "&Delete", 2, &TFormBookmarkEdit::ToolButton3Click);
    ToolBar1->addSeparator();
    ToolButton5 = AddButton("ToolButton5", "&Find", 0, &TFormBookmarkEdit::ToolButton5Click);
    ToolBar1->addSeparator();
    ToolButton7 = AddButton("ToolButton7", "&Close", 4, &TFormBookmarkEdit::ToolButton7Click);

    ListBox1 = new QListWidget;
    ListBox1->setObjectName("ListBox1");
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(true);
    m_panel = new QLabel;
    StatusBar1->addWidget(m_panel, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(ListBox1, 1);
    layout->addWidget(StatusBar1);
    setMinimumSize(375, 250);
    resize(375, 426);

    LoadBookmarkList();
}

QToolButton* TFormBookmarkEdit::AddButton(
    const char* name, const char* caption, int image, void (TFormBookmarkEdit::*handler)())
{
    auto* button = new QToolButton;
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(ImageList1.at(static_cast<std::size_t>(image)));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setMinimumSize(65, 36);
    connect(button, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
    ToolBar1->addWidget(button);
    return button;
}

void TFormBookmarkEdit::FillList()
{
    ListBox1->clear();
    for (const auto& name : m_bookmarks.Names())
        ListBox1->addItem(QString::fromStdString(name));
}

void TFormBookmarkEdit::LoadBookmarkList()
{
    m_bookmarks.LoadBookmarkList();
    FillList();
}

void TFormBookmarkEdit::SetStatus(const std::string& text)
{
    m_panel->setText(QString::fromStdString(text));
}

std::string TFormBookmarkEdit::StatusText() const
{
    return m_panel->text().toStdString();
}

void TFormBookmarkEdit::ShowBookmarkCount()
{
    SetStatus("Bookmarks : " + std::to_string(ListBox1->count()));
}

void TFormBookmarkEdit::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    ShowBookmarkCount();
}

int TFormBookmarkEdit::SelectedIndex() const
{
    const int row = ListBox1->currentRow();
    if (row < 0 || ListBox1->item(row) == nullptr || !ListBox1->item(row)->isSelected())
        return -1;
    return row;
}

void TFormBookmarkEdit::AddBookmark(const std::string& name, const std::string& url)
{
    const bool written = m_bookmarks.AddBookmark(name, url);
    ListBox1->addItem(QString::fromStdString(m_bookmarks.Names().back()));
    if (!written)
        m_dialogs.ShowError(this, kCaption, "Could not update bookmark file!");
}

void TFormBookmarkEdit::ToolButton2Click()
{
    const int index = SelectedIndex();
    if (index < 0)
        return;
    const std::string address = m_bookmarks.UrlAt(static_cast<std::size_t>(index));
    SetStatus("Connecting to " + address);
    if (OnNavigate)
        OnNavigate(address);
    close();
}

void TFormBookmarkEdit::ToolButton1Click()
{
    // Cancelling either box adds nothing.
    std::string name;
    if (!m_dialogs.InputText(this, "Name of Bookmark", "Name", name))
        return;
    std::string address = TBookmarks::kDefaultUrl;
    if (!m_dialogs.InputText(this, "URL to site", "URL", address))
        return;
    AddBookmark(name, address);
    ShowBookmarkCount();
}

void TFormBookmarkEdit::ToolButton4Click()
{
    const int index = SelectedIndex();
    if (index < 0)
        return;
    const auto at = static_cast<std::size_t>(index);
    std::string name = m_bookmarks.Names().at(at);
    if (!m_dialogs.InputText(this, "Name of Bookmark", "Name", name))
        return;
    std::string address = m_bookmarks.UrlAt(at);
    if (!m_dialogs.InputText(this, "URL to site", "URL", address))
        return;
    if (!m_bookmarks.UpdateBookmark(at, name, address)) {
        m_dialogs.ShowError(this, kCaption, "Could not update bookmark file!");
        return;
    }
    ListBox1->item(index)->setText(QString::fromStdString(m_bookmarks.Names().at(at)));
    SetStatus(m_bookmarks.UrlAt(at));
}

void TFormBookmarkEdit::ToolButton3Click()
{
    const int index = SelectedIndex();
    if (index < 0)
        return;
    const std::string name = m_bookmarks.Names().at(static_cast<std::size_t>(index));
    if (!m_dialogs.AskYesNo(this, kCaption, "Do you want to delete : " + name + "?"))
        return;
    bool updated = m_bookmarks.MarkDeleted(static_cast<std::size_t>(index));
    if (updated) {
        const TBookmarks::TCompactResult result = m_bookmarks.CompactBookmarks();
        for (const auto& error : result.Errors)
            m_dialogs.ShowError(this, kCaption, error);
        updated = result.Success;
        if (updated) {
            FillList();
            ShowBookmarkCount();
        }
    }
    if (!updated)
        m_dialogs.ShowError(this, kCaption, "Could not update bookmark file!");
    ListBox1->setFocus();
}

void TFormBookmarkEdit::ToolButton5Click()
{
    std::string text;
    if (!m_dialogs.InputText(this, "Find bookmark", "Partial name", text))
        return;
    const auto found = m_bookmarks.Find(text);
    if (!found) {
        m_dialogs.ShowInformation(this, kCaption, base::AsciiUpper(text) + " was not found");
        return;
    }
    ListBox1->setCurrentRow(static_cast<int>(*found));
}

void TFormBookmarkEdit::ToolButton7Click()
{
    close();
}

void TFormBookmarkEdit::ListBox1Click()
{
    const int index = SelectedIndex();
    if (index >= 0)
        SetStatus(m_bookmarks.UrlAt(static_cast<std::size_t>(index)));
}

void TFormBookmarkEdit::ListBox1DblClick()
{
    ToolButton2Click();
}

} // namespace pivrel::app
