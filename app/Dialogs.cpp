#include "app/Dialogs.h"

#include "view/QtString.h"

#include <QInputDialog>
#include <QMessageBox>

namespace pivrel::app {

void TQtDialogs::ShowError(QWidget* parent, const std::string& caption, const std::string& text)
{
    QMessageBox::critical(parent, view::ToQString(caption), view::ToQString(text), QMessageBox::Ok);
}

void TQtDialogs::ShowInformation(QWidget* parent, const std::string& caption, const std::string& text)
{
    QMessageBox::information(parent, view::ToQString(caption), view::ToQString(text), QMessageBox::Ok);
}

bool TQtDialogs::AskYesNo(QWidget* parent, const std::string& caption, const std::string& text)
{
    return QMessageBox::question(
               parent, view::ToQString(caption), view::ToQString(text), QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

bool TQtDialogs::InputText(
    QWidget* parent, const std::string& caption, const std::string& prompt, std::string& value)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, view::ToQString(caption), view::ToQString(prompt),
        QLineEdit::Normal, view::ToQString(value), &ok);
    if (ok)
        value = text.toStdString();
    return ok;
}

} // namespace pivrel::app
