// The main window's printing, print preview and the windows around it: page source, deck
// information and about.

#include "app/fAboutForm.h"
#include "app/fDeckInformationForm.h"
#include "app/fFormPrintPreview.h"
#include "app/fMainForm.h"
#include "app/fPageSourceForm.h"
#include "view/PVObjects.h"

#include <QCoreApplication>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>

namespace pivrel::app {

void TMainForm::CreatePrintingAndInformationWindows()
{
    RVPrint1 = new view::TRVPrint(this);
    RVPrint1->setObjectName("RVPrint1");
    RVPrint1->OnPrintComponent = [this](view::TRVPrint&, QWidget* control, QPixmap& picture) {
        RVPrint1PrintComponent(control, picture);
    };
    m_pageSourceForm = new TPageSourceForm(m_dialogs, this);
    m_deckInformationForm = new TDeckInformationForm(*m_browser, this);
    m_aboutForm = new TAboutForm(QCoreApplication::applicationFilePath().toStdString(), this);
    m_aboutForm->OnOpenURL = [this](const std::string& url) { return OpenInWebBrowser(url); };
    // The deck-information action stays out of the menu, and Qt disables a hidden action's
    // shortcut: its key opens the window on its own.
    auto* deckInformationKey = new QShortcut(Action("View_DeckInformation")->shortcut(), this);
    connect(deckInformationKey, &QShortcut::activated, this, [this] { View_DeckInformationExecute(); });
}

void TMainForm::RVPrint1PrintComponent(QWidget* control, QPixmap& picture)
{
    // A picture prints from its own bitmap; every other control as it shows on screen.
    if (auto* image = qobject_cast<view::TPVImage*>(control))
        picture = image->Picture();
}

void TMainForm::PrintShown(int copies, bool collate)
{
    RVPrint1->AssignSource(*RichView1);
    RVPrint1->FormatPages(view::kAllDisplayOptions);
    RVPrint1->Print(windowTitle(), copies, collate);
    RVPrint1->ClearPages();
}

void TMainForm::File_PrintSetupExecute()
{
    QPageSetupDialog dialog(&RVPrint1->QtPrinter(), this);
    dialog.exec();
}

void TMainForm::File_PrintPreviewExecute()
{
    if (m_browser->CurrentURL().empty())
        return;
    TFormPrintPreview preview(*RichView1, RVPrint1->Printer(), this);
    preview.RVPrint1->OnPrintComponent = RVPrint1->OnPrintComponent;
    preview.OnPrint = [this] { File_PrintExecute(); };
    preview.OnSetup = [this] { File_PrintSetupExecute(); };
    preview.setWindowState(Qt::WindowMaximized);
    preview.exec();
}

void TMainForm::File_PrintExecute()
{
    QPrinter& printer = RVPrint1->QtPrinter();
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PrintShown(printer.copyCount(), printer.collateCopies());
}

void TMainForm::View_SourceExecute()
{
    m_pageSourceForm->show();
    m_pageSourceForm->raise();
    m_pageSourceForm->activateWindow();
}

void TMainForm::View_DeckInformationExecute()
{
    m_deckInformationForm->show();
    m_deckInformationForm->raise();
    m_deckInformationForm->activateWindow();
}

void TMainForm::Help_AboutExecute()
{
    m_aboutForm->exec();
}

} // namespace pivrel::app
