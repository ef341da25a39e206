#pragma once

#include "view/PtblRV.h"
#include "view/RVPP.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace pivrel::app {

// The zoom a text of the zoom box asks for: the digits it starts with (blanks before them
// allowed), or 100 when there are none or they read as 0.
int ZoomFromText(const std::string& text);

// The print preview: the pages of the shown document as the printer will get them, one at a
// time, with paging, zoom, printing and printer set-up.
class TFormPrintPreview : public QDialog
{
    Q_OBJECT

public:
    // Lays out source for printer (used, not owned; both outlive the window).
    TFormPrintPreview(view::TRichView& source, view::TRVPrinter& printer, QWidget* parent = nullptr);
    ~TFormPrintPreview() override;

    QToolBar* ToolBar1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    view::TRVPrintPreview* RVPrintPreview1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    view::TRVPrint* RVPrint1 = nullptr;

    QToolButton* Button(const char* name) const;
    std::string StatusText(int panel) const;

    // The main window's Print and printer set-up.
    std::function<void()> OnPrint;
    std::function<void()> OnSetup;

    void PreparePreview();
    // A pick in the zoom box or Enter in it.
    void ZoomBoxChosen();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QToolButton* AddButton(const char* name, const char* caption, std::function<void()> onClick);
    void RVPrint1Formatting(int pageCompleted, view::TRVPrintingStep step);
    void PreviewZoomChanged();
    void ShowAtStart();

    view::TRichView& m_source;
    QLabel* m_panels[2] = { nullptr, nullptr };
    bool m_zoomFromBox = false;
};

} // namespace pivrel::app
