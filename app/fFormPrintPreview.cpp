#include "app/fFormPrintPreview.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cctype>

namespace pivrel::app {

int ZoomFromText(const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;
    std::string digits;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && digits.size() < 9)
        digits.push_back(text[at++]);
    const int zoom = digits.empty() ? 0 : std::stoi(digits);
    return zoom > 0 ? zoom : 100;
}

TFormPrintPreview::TFormPrintPreview(view::TRichView& source, view::TRVPrinter& printer, QWidget* parent)
    : QDialog(parent, Qt::Window)
    , m_source(source)
{
    setObjectName("FormPrintPreview");
    setWindowTitle("Print Preview");
    resize(491, 365);
    setModal(true);

    RVPrint1 = new view::TRVPrint(this);
    RVPrint1->setObjectName("RVPrint1");
    RVPrint1->SetPrinter(&printer);
    RVPrint1->OnFormatting
        = [this](view::TRVPrint&, int page, view::TRVPrintingStep step) { RVPrint1Formatting(page, step); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    AddButton("ToolButton1", "First", [this] { RVPrintPreview1->First(); });
    AddButton("ToolButton2", "Prev", [this] { RVPrintPreview1->Prev(); });
    AddButton("ToolButton3", "Next", [this] { RVPrintPreview1->Next(); });
    AddButton("ToolButton4", "Last", [this] { RVPrintPreview1->Last(); });
    ToolBar1->addSeparator();
    AddButton("ToolButton6", "Print", [this] {
        if (OnPrint)
            OnPrint();
    });
    AddButton("ToolButton7", "Setup", [this] {
        if (OnSetup)
            OnSetup();
        ShowAtStart();
    });
    ToolBar1->addSeparator();
    AddButton("ToolButton9", "Close", [this] { close(); });
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setFixedWidth(90);
    ComboBox1->lineEdit()->setMaxLength(5);
    ComboBox1->addItems({ "25 %", "50 %", "100 %", "125 %", "150 %", "200 %" });
    ComboBox1->setEditText("100 %");
    connect(ComboBox1, &QComboBox::activated, this, [this] { ZoomBoxChosen(); });
    connect(ComboBox1->lineEdit(), &QLineEdit::returnPressed, this, [this] { ZoomBoxChosen(); });
    ToolBar1->addWidget(ComboBox1);
    layout->addWidget(ToolBar1);

    RVPrintPreview1 = new view::TRVPrintPreview(this);
    RVPrintPreview1->setObjectName("RVPrintPreview1");
    RVPrintPreview1->OnZoomChanged = [this](view::TCustomRVPrintPreview&) { PreviewZoomChanged(); };
    layout->addWidget(RVPrintPreview1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(StatusBar1);
        m_panels[i]->setFixedWidth(i == 0 ? 200 : 50);
        StatusBar1->addWidget(m_panels[i]);
    }
    layout->addWidget(StatusBar1);
}

TFormPrintPreview::~TFormPrintPreview()
{
    // The children outlive this part of the window: the zoom box signals its last edit while it is
    // torn down, when no handler of this window may run any more.
    ComboBox1->disconnect(this);
    ComboBox1->lineEdit()->disconnect(this);
    RVPrintPreview1->OnZoomChanged = nullptr;
    RVPrint1->OnFormatting = nullptr;
}

QToolButton* TFormPrintPreview::AddButton(
    const char* name, const char* caption, std::function<void()> onClick)
{
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(name);
    button->setText(caption);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [onClick = std::move(onClick)] { onClick(); });
    ToolBar1->addWidget(button);
    return button;
}

QToolButton* TFormPrintPreview::Button(const char* name) const
{
    return findChild<QToolButton*>(name);
}

std::string TFormPrintPreview::StatusText(int panel) const
{
    return panel >= 0 && panel < 2 ? m_panels[panel]->text().toStdString() : std::string();
}

void TFormPrintPreview::PreparePreview()
{
    RVPrint1->ClearPages();
    RVPrint1->AssignSource(m_source);
    RVPrint1->FormatPages(view::kAllDisplayOptions);
    RVPrintPreview1->SetRVPrint(RVPrint1);
}

void TFormPrintPreview::RVPrint1Formatting(int pageCompleted, view::TRVPrintingStep step)
{
    QString text;
    switch (step) {
    case view::rvpsStarting:
        text = "Preparing...";
        break;
    case view::rvpsProceeding:
        text = "Formatting page " + QString::number(pageCompleted);
        break;
    case view::rvpsFinished:
        text = "Page 1 / " + QString::number(RVPrint1->PagesCount());
        break;
    }
    m_panels[0]->setText(text);
}

void TFormPrintPreview::PreviewZoomChanged()
{
    if (m_zoomFromBox)
        return;
    const int zoom = RVPrintPreview1->ZoomPercent();
    if (zoom < 20 || zoom > 250) {
        RVPrintPreview1->SetZoomPercent(std::clamp(zoom, 20, 250));
        return;
    }
    ComboBox1->setEditText(QString::number(zoom) + " %");
}

void TFormPrintPreview::ZoomBoxChosen()
{
    m_zoomFromBox = true;
    RVPrintPreview1->SetZoomPercent(ZoomFromText(ComboBox1->currentText().toStdString()));
    m_zoomFromBox = false;
}

void TFormPrintPreview::ShowAtStart()
{
    if (parentWidget())
        setWindowTitle(parentWidget()->windowTitle());
    PreparePreview();
    RVPrintPreview1->SetZoomPercent(100);
    ComboBox1->setFocus();
}

void TFormPrintPreview::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ShowAtStart();
}

} // namespace pivrel::app
