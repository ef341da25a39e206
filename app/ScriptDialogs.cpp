#include "app/ScriptDialogs.h"

#include "app/Dialogs.h"

namespace pivrel::app {

namespace {
    constexpr const char* kCaption = "Pivrel";
} // namespace

TWindowScriptDialogs::TWindowScriptDialogs(TDialogs& dialogs, QWidget* parent)
    : m_dialogs(dialogs)
    , m_parent(parent)
{ }

std::string TWindowScriptDialogs::Prompt(const std::string& message, const std::string& defaultInput)
{
    std::string value = defaultInput;
    if (!m_dialogs.InputText(m_parent, kCaption, message, value))
        return defaultInput;
    return value;
}

bool TWindowScriptDialogs::Confirm(const std::string& message, const std::string&, const std::string&)
{
    return m_dialogs.AskYesNo(m_parent, kCaption, message);
}

void TWindowScriptDialogs::Alert(const std::string& message)
{
    m_dialogs.ShowInformation(m_parent, kCaption, message);
}

void TWindowScriptDialogs::ShowScriptError(const std::string& reason)
{
    m_dialogs.ShowError(m_parent, kCaption, "Script error: " + reason);
}

} // namespace pivrel::app
