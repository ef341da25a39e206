#pragma once

#include <deque>
#include <string>
#include <vector>

class QWidget;

namespace pivrel::app {

// Every fixed-text box and input box of the windows goes through this one interface, so that
// tests can preset the answers and read what was shown.
class TDialogs
{
public:
    virtual ~TDialogs() = default;

    // An error box with OK.
    virtual void ShowError(QWidget* parent, const std::string& caption, const std::string& text) = 0;
    // An information box with OK.
    virtual void ShowInformation(QWidget* parent, const std::string& caption, const std::string& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const std::string& caption, const std::string& text) = 0;
    // A text input; false when cancelled, otherwise value holds the text typed (it starts as the
    // value passed in).
    virtual bool InputText(
        QWidget* parent, const std::string& caption, const std::string& prompt, std::string& value)
        = 0;
};

// The real boxes (QMessageBox, QInputDialog).
class TQtDialogs : public TDialogs
{
public:
    void ShowError(QWidget* parent, const std::string& caption, const std::string& text) override;
    void ShowInformation(QWidget* parent, const std::string& caption, const std::string& text) override;
    bool AskYesNo(QWidget* parent, const std::string& caption, const std::string& text) override;
    bool InputText(
        QWidget* parent, const std::string& caption, const std::string& prompt, std::string& value) override;
};

// Answers preset by a test; records every box shown, in order.
class TPresetDialogs : public TDialogs
{
public:
    struct TShown {
        std::string Kind; // "error", "information", "question", "input"
        std::string Caption;
        std::string Text;
    };

    std::vector<TShown> Shown;
    std::deque<bool> YesNoAnswers; // an empty queue answers No
    std::deque<std::pair<bool, std::string>> InputAnswers; // an empty queue cancels

    void ShowError(QWidget*, const std::string& caption, const std::string& text) override
    {
        Shown.push_back({ "error", caption, text });
    }

    void ShowInformation(QWidget*, const std::string& caption, const std::string& text) override
    {
        Shown.push_back({ "information", caption, text });
    }

    bool AskYesNo(QWidget*, const std::string& caption, const std::string& text) override
    {
        Shown.push_back({ "question", caption, text });
        if (YesNoAnswers.empty())
            return false;
        const bool answer = YesNoAnswers.front();
        YesNoAnswers.pop_front();
        return answer;
    }

    bool InputText(
        QWidget*, const std::string& caption, const std::string& prompt, std::string& value) override
    {
        Shown.push_back({ "input", caption, prompt });
        if (InputAnswers.empty())
            return false;
        auto [ok, text] = InputAnswers.front();
        InputAnswers.pop_front();
        if (ok)
            value = text;
        return ok;
    }
};

} // namespace pivrel::app
