#pragma once

#include "base/Bitmap.h"
#include "wml/InputFormat.h"
#include "wml/WMLObject.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QValidator>

#include <functional>
#include <string>
#include <string_view>

namespace pivrel::view {

// The substitution every shown text goes through before it reaches a widget.
using TTextExpander = std::function<std::string(std::string_view text)>;

// Finds a widget's variable record at the moment it is used. A widget can outlive the deck that
// owns its record (the engine empties the deck before the view is cleared, and a signal may still
// be queued for a widget already handed to deleteLater), so the record is looked up afresh and
// the answer is nullptr once it is gone.
using TVariableResolver = std::function<wml::TWMLVariable*()>;

// The picture of a core bitmap (colours 0x00BBGGRR). Pixels of transparentColor become fully
// transparent unless it is kNoColor; pixels the bitmap lacks are white.
QImage BitmapToImage(const base::TBitmap& bitmap, base::TColor transparentColor = base::kNoColor);

// The decimal number a text denotes, or 0 when it is not one (blanks around it are allowed).
int TextToIntDef0(std::string_view text);

// The variable binding shared by the widgets that write WML variables.
class TPVVarHolder
{
public:
    // The record to read and write, or nullptr when it no longer exists.
    wml::TWMLVariable* VarObject() const;
    // Binds to a record that the caller keeps alive for as long as the widget.
    void SetVarObject(wml::TWMLVariable* variable);
    void SetVarResolver(TVariableResolver resolver);

    // Told after the user's typing or picking wrote a new value into the record: the browser
    // stores it as the variable's one value.
    std::function<void(const wml::TWMLVariable& variable)> OnVarChanged;

protected:
    TPVVarHolder() = default;
    ~TPVVarHolder() = default;

private:
    wml::TWMLVariable* m_varObject = nullptr;
    TVariableResolver m_resolver;
};

class TPVBtn;
using TPVBtnClickEvent = std::function<void(TPVBtn& sender, const std::string& link)>;

// A do button: its click hands the button and its target to OnBtnClick.
class TPVBtn : public QPushButton, public TPVVarHolder
{
    Q_OBJECT

public:
    explicit TPVBtn(QWidget* parent = nullptr);

    const std::string& Link() const { return m_link; }

    void SetLink(std::string value) { m_link = std::move(value); }

    bool DoRefresh() const { return m_doRefresh; }

    void SetDoRefresh(bool value) { m_doRefresh = value; }

    // The button's go: whether it posts, and its post fields (sent as a query when it does not).
    bool Post() const { return m_post; }

    const wml::TWMLPostFields& PostFields() const { return m_postFields; }

    // Caption, hint, target, refresh flag and width from the element; a "prev" button shows the
    // glyph.
    void Build(wml::TWMLBtn& element, const TTextExpander& expand, const QPixmap& prevGlyph);

    TPVBtnClickEvent OnBtnClick;

private:
    std::string m_link;
    bool m_doRefresh = false;
    bool m_post = false;
    wml::TWMLPostFields m_postFields;
};

// Keeps an input's text within its format mask.
class TFormatValidator : public QValidator
{
    Q_OBJECT

public:
    explicit TFormatValidator(QObject* parent = nullptr);

    std::string Format;

    State validate(QString& input, int& pos) const override;
};

// A text input; every change of its text is written back into its variable.
class TPVInput : public QLineEdit, public TPVVarHolder
{
    Q_OBJECT

public:
    explicit TPVInput(QWidget* parent = nullptr);

    std::string VarName;
    std::string VarValue;
    std::string TypeOf;
    std::string Size;
    std::string Title;
    std::string Format;
    std::string DefaultText;

    // Widths count 7 pixels per character of the size plus 10; sizes past this count as it, so
    // that a hostile size cannot ask for a widget wider than any screen.
    static constexpr int kMaxSizeChars = 1000;

    void Build(wml::TWMLInput& element, const TTextExpander& expand);

    // What emptyok says about an empty value.
    wml::TEmptyInput EmptyInput = wml::TEmptyInput::ByFormat;

    // True while the text does not yet fill the format: it is then not the variable's value, and
    // the field shows so.
    bool Incomplete() const { return m_incomplete; }

    void SetIncomplete(bool incomplete);

private:
    bool m_incomplete = false;
};

// A list that allows several choices, one check box per option.
class TPVSelect : public QListWidget, public TPVVarHolder
{
    Q_OBJECT

public:
    explicit TPVSelect(QWidget* parent = nullptr);

    // The width the list starts from before its options widen it.
    static constexpr int kDefaultWidth = 121;

    void Build(wml::TWMLSelect& element, const TTextExpander& expand);
    bool IsChecked(int row) const;
    void SetChecked(int row, bool checked);

private:
    wml::TWMLVariable m_ownVariable;
};

// A list with one choice; a pick of an option with an onpick address hands it to OnPick.
class TPVSelectSingle : public QComboBox, public TPVVarHolder
{
    Q_OBJECT

public:
    explicit TPVSelectSingle(QWidget* parent = nullptr);

    void Build(wml::TWMLSelect& element, const TTextExpander& expand);

    // Receives the onpick address of a picked option; the window defers the navigation.
    std::function<void(const std::string& url)> OnPick;

protected:
    // QWidget
    void wheelEvent(QWheelEvent* event) override;

private:
    wml::TWMLVariable m_ownVariable;
};

// A card picture.
class TPVImage : public QLabel
{
    Q_OBJECT

public:
    explicit TPVImage(QWidget* parent = nullptr);

    std::string AltText;
    std::string ImageURL;
    int SourceWidth = 0;
    int SourceHeight = 0;

    // With transparent on, the bitmap's transparent colour (white when it names none) is not
    // drawn.
    void Build(const wml::TWMLImage& element, const TTextExpander& expand, bool transparent);

    // A copy of the picture shown, for printing.
    QPixmap Picture() const { return QPixmap::fromImage(m_picture); }

    const QImage& Image() const { return m_picture; }

    QSize sizeHint() const override { return m_picture.size(); }

protected:
    // Drawn from the picture's own pixels, so that a black-and-white picture stays at one bit a
    // pixel and every widget showing one picture shares them.
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

// The handlers that write what the user typed or picked into the widgets' variables.
void InputChange(TPVInput& sender);
void SelectClick(TPVSelect& sender);
void SelectSingleChange(TPVSelectSingle& sender);

} // namespace pivrel::view
