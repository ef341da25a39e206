#include "view/PVObjects.h"

#include "base/Ascii.h"

#include "view/QtString.h"
#include "view/RVStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <algorithm>
#include <bit>
#include <charconv>
#include <vector>

namespace pivrel::view {

namespace {

    constexpr base::TColor kWhite = 0x00FFFFFF;
    // The largest point size an input's font may take: nested big elements can raise a card's font
    // without limit.
    constexpr int kMaxInputFontSize = 72;

    QRgb ToRgb(base::TColor color)
    {
        return qRgb(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
    }

    // The ";"-separated entries of a list value; an empty value holds no entry at all, so that an
    // option whose value is empty is not taken as chosen by a list with nothing chosen.
    std::vector<std::string_view> SplitEntries(std::string_view text)
    {
        std::vector<std::string_view> entries;
        if (text.empty())
            return entries;
        std::size_t start = 0;
        for (;;) {
            const std::size_t semicolon = text.find(';', start);
            entries.push_back(text.substr(start, semicolon - start));
            if (semicolon == std::string_view::npos)
                return entries;
            start = semicolon + 1;
        }
    }

    bool ContainsEntry(const std::vector<std::string_view>& entries, std::string_view value)
    {
        return std::find(entries.begin(), entries.end(), value) != entries.end();
    }

    bool ContainsIndex(const std::vector<std::string_view>& entries, int oneBased)
    {
        return std::any_of(entries.begin(), entries.end(),
            [oneBased](std::string_view entry) { return TextToIntDef0(entry) == oneBased; });
    }

    const std::string& EntryOrEmpty(const base::TStringList& list, int index)
    {
        static const std::string empty;
        if (index < 0 || std::size_t(index) >= list.size())
            return empty;
        return list[std::size_t(index)];
    }

    int TextWidth(const QWidget& widget, std::string_view text)
    {
        return QFontMetrics(widget.font()).horizontalAdvance(ToQString(text));
    }

    QFont ElementFont(const base::TFontDesc& desc)
    {
        TFontInfo info;
        info.AssignFont(desc);
        info.Size = std::clamp(info.Size, 1, kMaxInputFontSize);
        return info.MakeFont();
    }

} // namespace

namespace {

    bool SameColour(base::TColor a, base::TColor b)
    {
        return (a & 0xFFFFFF) == (b & 0xFFFFFF);
    }

    void ReleaseBitmap(void* bitmap)
    {
        delete static_cast<base::TBitmap*>(bitmap);
    }

    // An image over the bitmap's own pixels, which a copy of the bitmap keeps alive for as long
    // as the image (and every pixmap or copy made of it) lives.
    QImage ImageOverPixels(const base::TBitmap& bitmap, QImage::Format format)
    {
        const auto* keeper = new base::TBitmap(bitmap);
        const uchar* bits = keeper->Monochrome() ? keeper->MonoRow(0)
                                                 : reinterpret_cast<const uchar*>(keeper->StoredColourRow(0));
        const qsizetype stride = keeper->Monochrome()
            ? qsizetype(keeper->MonoStride())
            : qsizetype(keeper->Width) * qsizetype(sizeof(std::uint32_t));
        QImage image(bits, keeper->Width, keeper->Height, stride, format, ReleaseBitmap,
            const_cast<base::TBitmap*>(keeper));
        if (image.isNull())
            delete keeper;
        return image;
    }

    // A black-and-white picture stays at one bit a pixel: a set bit is white.
    QImage MonochromeImage(const base::TBitmap& bitmap, base::TColor transparentColor)
    {
        QImage image = ImageOverPixels(bitmap, QImage::Format_Mono);
        const bool keyed = transparentColor != base::kNoColor;
        const QRgb clear = qRgba(0, 0, 0, 0);
        image.setColorTable(
            { keyed && SameColour(transparentColor, base::kBlack) ? clear : ToRgb(base::kBlack),
                keyed && SameColour(transparentColor, kWhite) ? clear : ToRgb(kWhite) });
        return image;
    }

    QImage ConvertedImage(const base::TBitmap& bitmap, base::TColor transparentColor)
    {
        QImage image(bitmap.Width, bitmap.Height, QImage::Format_ARGB32);
        if (image.isNull())
            return {};
        const bool keyed = transparentColor != base::kNoColor;
        for (int y = 0; y < bitmap.Height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < bitmap.Width; ++x) {
                const base::TColor color = bitmap.Pixel(x, y);
                line[x] = keyed && SameColour(color, transparentColor) ? qRgba(0, 0, 0, 0) : ToRgb(color);
            }
        }
        return image;
    }

} // namespace

QImage BitmapToImage(const base::TBitmap& bitmap, base::TColor transparentColor)
{
    if (bitmap.Width <= 0 || bitmap.Height <= 0)
        return {};
    if (!bitmap.Complete())
        return ConvertedImage(bitmap, transparentColor);
    if (bitmap.Monochrome())
        return MonochromeImage(bitmap, transparentColor);
    // 0x00BBGGRR in memory on a little-endian machine is red, green, blue, then a byte unused.
    if (transparentColor == base::kNoColor && std::endian::native == std::endian::little)
        return ImageOverPixels(bitmap, QImage::Format_RGBX8888);
    return ConvertedImage(bitmap, transparentColor);
}

int TextToIntDef0(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return 0;
    const std::size_t last = text.find_last_not_of(' ');
    text = text.substr(first, last - first + 1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

wml::TWMLVariable* TPVVarHolder::VarObject() const
{
    return m_resolver ? m_resolver() : m_varObject;
}

void TPVVarHolder::SetVarObject(wml::TWMLVariable* variable)
{
    m_varObject = variable;
    m_resolver = nullptr;
}

void TPVVarHolder::SetVarResolver(TVariableResolver resolver)
{
    m_resolver = std::move(resolver);
}

TPVBtn::TPVBtn(QWidget* parent)
    : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, [this] {
        if (OnBtnClick)
            OnBtnClick(*this, m_link);
    });
}

void TPVBtn::Build(wml::TWMLBtn& element, const TTextExpander& expand, const QPixmap& prevGlyph)
{
    const std::string caption = expand(element.Caption);
    setToolTip(ToQString(caption));
    m_link = element.Link;
    setText(ToQString(caption));
    SetVarObject(&element.VarObject.Edit());
    m_doRefresh = element.Refresh;
    m_post = element.Post;
    m_postFields = element.PostFields;
    int width = TextWidth(*this, caption) + 20;
    if (base::SameTextIgnoringCase(element.DoType, "prev")) {
        setIcon(QIcon(prevGlyph));
        setIconSize(prevGlyph.size());
        setDefault(false);
        setAutoDefault(false);
        width = TextWidth(*this, caption) + prevGlyph.width() + 10;
    }
    resize(width, sizeHint().height());
}

TPVInput::TPVInput(QWidget* parent)
    : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { InputChange(*this); });
}

void TPVInput::Build(wml::TWMLInput& element, const TTextExpander& expand)
{
    const QSignalBlocker blocker(this);
    const wml::TWMLVariable& variable = *element.VarObject;
    VarName = variable.VarName;
    VarValue = variable.VarValue.empty() ? variable.DefaultValue : variable.VarValue;
    if (element.Password) {
        setEchoMode(QLineEdit::Password);
        TypeOf = "password";
    }
    Size = element.Size;
    const QString text = ToQString(VarValue);
    // A value longer than the limit is shown whole: the line edit would cut it, and the widget
    // would then show other text than its variable holds.
    const int maxLength = TextToIntDef0(element.MaxLength);
    if (maxLength > 0)
        setMaxLength(std::max(maxLength, int(text.size())));
    setText(text);
    setFont(ElementFont(element.TextFont));
    Title = expand(element.Title);
    setToolTip(ToQString(Title));
    const std::string_view code = element.WMLCode;
    Format = wml::GetAttribute("format", code, "");
    if (!wml::IsValidInputFormat(Format))
        Format.clear();
    EmptyInput = wml::EmptyInputFromAttribute(
        wml::GetAttributeView("emptyok", code, ""), code.find("emptyok=") != std::string_view::npos);
    if (!Format.empty()) {
        // The validator refuses what the mask cannot take and puts its literals in as the user types.
        auto* validator = new TFormatValidator(this);
        validator->Format = Format;
        setValidator(validator);
    }
    SetIncomplete(wml::FitInputFormat(Format, VarValue, EmptyInput) != wml::TFormatFit::Complete);
    const int chars = std::clamp(TextToIntDef0(element.Size), 0, kMaxSizeChars);
    resize(7 * chars + 10, sizeHint().height());
    SetVarObject(&element.VarObject.Edit());
}

TPVSelect::TPVSelect(QWidget* parent)
    : QListWidget(parent)
{
    SetVarObject(&m_ownVariable);
    setUniformItemSizes(true);
    resize(kDefaultWidth, height());
    connect(this, &QListWidget::itemChanged, this, [this] { SelectClick(*this); });
}

void TPVSelect::Build(wml::TWMLSelect& element, const TTextExpander& expand)
{
    const QSignalBlocker blocker(this);
    SetVarObject(&element.VarObject.Edit());
    setToolTip(ToQString(expand(element.Title)));
    clear();
    const wml::TWMLVariable& variable = *element.VarObject;
    const auto values = SplitEntries(variable.DefaultValue);
    const auto indexes = SplitEntries(variable.DefaultIValue);
    int width = kDefaultWidth;
    for (std::size_t i = 0; i < variable.NameList.size(); ++i) {
        auto* line = new QListWidgetItem(ToQString(expand(variable.NameList[i])), this);
        line->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        width = std::max(width, TextWidth(*this, "XX " + variable.NameList[i]) + 32);
        const bool checked = variable.DefaultIValue.empty()
            ? ContainsEntry(values, EntryOrEmpty(variable.ValueList, int(i)))
            : ContainsIndex(indexes, int(i) + 1);
        line->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    const int rowHeight = count() > 0 ? sizeHintForRow(0) : fontMetrics().height();
    // The frame is added so that every option shows without a scroll bar.
    resize(width, count() * rowHeight + 2 * frameWidth());
    setVisible(true);
}

bool TPVSelect::IsChecked(int row) const
{
    const QListWidgetItem* line = item(row);
    return line != nullptr && line->checkState() == Qt::Checked;
}

void TPVSelect::SetChecked(int row, bool checked)
{
    if (QListWidgetItem* line = item(row))
        line->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

TPVSelectSingle::TPVSelectSingle(QWidget* parent)
    : QComboBox(parent)
{
    SetVarObject(&m_ownVariable);
    setEditable(false);
    // A wheel turned over the card must not focus the list on its way.
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QComboBox::currentIndexChanged, this, [this] { SelectSingleChange(*this); });
}

void TPVSelectSingle::wheelEvent(QWheelEvent* event)
{
    // A closed list leaves the wheel to the card, which scrolls: one notch must never pick an
    // option and run its onpick.
    if (!view()->isVisible()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void TPVSelectSingle::Build(wml::TWMLSelect& element, const TTextExpander& expand)
{
    const QSignalBlocker blocker(this);
    SetVarObject(&element.VarObject.Edit());
    setToolTip(ToQString(expand(element.Title)));
    clear();
    const wml::TWMLVariable& variable = *element.VarObject;
    for (const std::string& name : variable.NameList)
        addItem(ToQString(expand(name)));
    setVisible(true);
    resize(sizeHint());
    const QString wanted = ToQString(variable.VarValue.empty() ? variable.DefaultValue : variable.VarValue);
    int selected = -1;
    for (std::size_t i = 0; i < variable.ValueList.size() && int(i) < count(); ++i) {
        if (ToQString(variable.ValueList[i]).compare(wanted, Qt::CaseInsensitive) == 0) {
            selected = int(i);
            break;
        }
    }
    setCurrentIndex(selected);
}

TPVImage::TPVImage(QWidget* parent)
    : QLabel(parent)
{ }

void TPVImage::Build(const wml::TWMLImage& element, const TTextExpander& expand, bool transparent)
{
    AltText = expand(element.Alt);
    ImageURL = element.Src;
    SourceWidth = element.SourceWidth;
    SourceHeight = element.SourceHeight;
    base::TColor key = base::kNoColor;
    if (transparent)
        key = element.Image.TransparentColor != base::kNoColor ? element.Image.TransparentColor : kWhite;
    m_picture = BitmapToImage(element.Image, key);
    resize(m_picture.isNull() ? QSize(0, 0) : m_picture.size());
    update();
}

void TPVImage::paintEvent(QPaintEvent* event)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(event->rect(), m_picture, event->rect());
}

void TPVInput::SetIncomplete(bool incomplete)
{
    m_incomplete = incomplete;
    QPalette colours = palette();
    colours.setColor(
        QPalette::Base, incomplete ? QColor(255, 228, 225) : QApplication::palette().color(QPalette::Base));
    setPalette(colours);
    const QString hint = ToQString(Title);
    setToolTip(incomplete
            ? (hint.isEmpty() ? QString() : hint + QStringLiteral(" ")) + QStringLiteral("(incomplete)")
            : hint);
}

TFormatValidator::TFormatValidator(QObject* parent)
    : QValidator(parent)
{ }

QValidator::State TFormatValidator::validate(QString& input, int& pos) const
{
    const std::string typed = input.toStdString();
    const std::string filled = wml::InsertFormatLiterals(Format, typed);
    const wml::TFormatFit fit = wml::FitInputFormat(Format, filled, wml::TEmptyInput::Accepted);
    if (fit == wml::TFormatFit::Invalid)
        return Invalid;
    if (filled != typed) {
        const QString replaced = QString::fromStdString(filled);
        pos += int(replaced.size() - input.size());
        input = replaced;
    }
    // Incomplete text stays in the field; the input itself decides what reaches the variable.
    return fit == wml::TFormatFit::Complete ? Acceptable : Intermediate;
}

void InputChange(TPVInput& sender)
{
    const std::string text = sender.text().toStdString();
    sender.DefaultText = text;
    const bool complete
        = wml::FitInputFormat(sender.Format, text, sender.EmptyInput) == wml::TFormatFit::Complete;
    sender.SetIncomplete(!complete);
    if (!complete)
        return;
    if (wml::TWMLVariable* variable = sender.VarObject()) {
        variable->VarValue = text;
        variable->DefaultValue = text;
        if (sender.OnVarChanged)
            sender.OnVarChanged(*variable);
    }
}

void SelectClick(TPVSelect& sender)
{
    wml::TWMLVariable* variable = sender.VarObject();
    if (variable == nullptr)
        return;
    std::string values;
    std::string indexes;
    for (int row = 0; row < sender.count(); ++row) {
        if (!sender.IsChecked(row))
            continue;
        values += EntryOrEmpty(variable->ValueList, row) + ";";
        indexes += std::to_string(row + 1) + ";";
    }
    if (!values.empty())
        values.pop_back();
    if (!indexes.empty())
        indexes.pop_back();
    variable->VarValue = values;
    variable->iVarValue = indexes;
    variable->DefaultValue = values;
    variable->DefaultIValue = indexes;
    if (sender.OnVarChanged)
        sender.OnVarChanged(*variable);
}

void SelectSingleChange(TPVSelectSingle& sender)
{
    wml::TWMLVariable* variable = sender.VarObject();
    const int index = sender.currentIndex();
    if (variable == nullptr || index < 0)
        return;
    variable->VarValue = EntryOrEmpty(variable->ValueList, index);
    variable->iVarValue = std::to_string(index + 1);
    // Copied before the change is told: storing it may write into the list's own record.
    const std::string pick = EntryOrEmpty(variable->OnPickList, index);
    if (sender.OnVarChanged)
        sender.OnVarChanged(*variable);
    // Copied: the pick's receiver may start work that replaces the deck holding the list.
    if (!pick.empty() && sender.OnPick)
        sender.OnPick(pick);
}

} // namespace pivrel::view
