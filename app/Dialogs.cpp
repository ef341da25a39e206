#include "app/Dialogs.h"

#include <QInputDialog>
#include <QMessageBox>

namespace pivrel::app {

namespace {

    QString Q(const std::string& text)
    {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

} // namespace

void TQtDialogs::ShowError(QWidget* parent, const std::string& caption, const std::string& text)
{
    QMessageBox::critical(parent, Q(caption), Q(text), QMessageBox::Ok);
}

void TQtDialogs::ShowInformation(QWidget* parent, const std::string& caption, const std::string& text)
{
    QMessageBox::information(parent, Q(caption), Q(text), QMessageBox::Ok);
}

bool TQtDialogs::AskYesNo(QWidget* parent, const std::string& caption, const std::string& text)
{
    return QMessageBox::question(parent, Q(caption), Q(text), QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

bool TQtDialogs::InputText(
    QWidget* parent, const std::string& caption, const std::string& prompt, std::string& value)
{
    bool ok = false;
    const QString text
        = QInputDialog::getText(parent, Q(caption), Q(prompt), QLineEdit::Normal, Q(value), &ok);
    if (ok)
        value = text.toStdString();
    return ok;
}

} // namespace pivrel::app
