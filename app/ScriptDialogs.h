#pragma once

#include "engine/ScriptRunner.h"

class QWidget;

namespace pivrel::app {

class TDialogs;

// A script's prompt, confirm and alert, and its errors, in the window's own boxes.
class TWindowScriptDialogs : public engine::TScriptDialogs
{
public:
    TWindowScriptDialogs(TDialogs& dialogs, QWidget* parent);

    // A cancelled prompt gives the default text back, as if it had been accepted unchanged.
    std::string Prompt(const std::string& message, const std::string& defaultInput) override;
    // The question box offers Yes and No, which stand for the script's two answers.
    bool Confirm(const std::string& message, const std::string& ok, const std::string& cancel) override;
    void Alert(const std::string& message) override;
    void ShowScriptError(const std::string& reason) override;

private:
    TDialogs& m_dialogs;
    QWidget* m_parent;
};

} // namespace pivrel::app
