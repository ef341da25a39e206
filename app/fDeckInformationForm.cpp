#include "app/fDeckInformationForm.h"

#include "engine/WMLBrowser.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pivrel::app {

namespace {

    using namespace pivrel::wml;

    // "name = value", or "name" alone when there is no name.
    std::string Binding(const std::string& name, const std::string& value)
    {
        return name.empty() ? std::string() : name + " = \"" + value + "\"";
    }

    std::string Joined(std::initializer_list<std::string> parts)
    {
        std::string text;
        for (const std::string& part : parts) {
            if (part.empty())
                continue;
            text += (text.empty() ? "" : "  ") + part;
        }
        return text;
    }

    // The fields that tell one record from another.
    std::string RecordFields(const TWMLObject& record)
    {
        if (const auto* text = record.AsIf<TWMLText>())
            return "\"" + text->Text + "\"";
        if (const auto* link = record.AsIf<TWMLLink>())
            return Joined({ "\"" + link->Text + "\"", "-> " + link->Link, link->Post ? "(post)" : "" });
        if (const auto* button = record.AsIf<TWMLBtn>())
            return Joined(
                { "\"" + button->Caption + "\"", button->DoType.empty() ? "" : "type " + button->DoType,
                    button->Link.empty() ? "" : "-> " + button->Link });
        if (const auto* timer = record.AsIf<TWMLTimer>())
            return Joined({ Binding(timer->GetVarName(), timer->GetVarValue()), "-> " + timer->Link });
        if (const auto* input = record.AsIf<TWMLInput>())
            return Joined({ Binding(input->GetVarName(), input->GetVarValue()),
                input->Title.empty() ? "" : "title \"" + input->Title + "\"" });
        if (const auto* image = record.AsIf<TWMLImage>())
            return Joined({ image->Src, image->Alt.empty() ? "" : "alt \"" + image->Alt + "\"" });
        if (const auto* select = record.AsIf<TWMLSelect>())
            return Joined({ Binding(select->GetVarName(), select->GetVarValue()),
                Binding(select->GetIVarName(), select->GetIVarValue()),
                std::to_string(select->VarObject->NameList.size()) + " options" });
        if (const auto* post = record.AsIf<TWMLPostVariable>())
            return Binding(post->Name, post->Value);
        if (const auto* version = record.AsIf<TWMLPivrelVersion>())
            return version->NewestVersion;
        return {};
    }

    void AddVariables(const engine::TWMLBrowser& browser, std::vector<TDeckOutlineRow>& rows)
    {
        const auto variables = browser.DeckVariables();
        rows.push_back({ "Variables (" + std::to_string(variables.size()) + ")", 0, false });
        for (const auto& [name, value] : variables)
            rows.push_back({ Binding(name, value), 1, false });
    }

    void AddHistory(const engine::TWMLBrowser& browser, std::vector<TDeckOutlineRow>& rows)
    {
        const base::TStringList& history = browser.History.URLHistory();
        rows.push_back({ "History (" + std::to_string(history.size()) + ")", 0, false });
        for (std::size_t i = 0; i < history.size(); ++i) {
            const bool current = int(i) == browser.History.CurrentOffset();
            rows.push_back({ (current ? "> " : "  ") + history[i], 1, false });
        }
    }

} // namespace

std::vector<TDeckOutlineRow> DeckOutline(const engine::TWMLBrowser& browser)
{
    std::vector<TDeckOutlineRow> rows;
    const TWMLDeck& deck = browser.WMLDeck;
    rows.push_back({ "Cards (" + std::to_string(deck.CardList.size()) + ")", 0, false });
    for (std::size_t i = 0; i < deck.CardList.size(); ++i) {
        const TWMLCard* card = deck.CardList[i].Card.get();
        const bool current = int(i) == deck.CurrentCard;
        if (!card) {
            rows.push_back({ "#" + deck.CardList[i].Key, 1, current });
            continue;
        }
        rows.push_back(
            { "#" + card->ID + (card->Title.empty() ? "" : "  \"" + card->Title + "\""), 1, current });
        for (const TWMLElement& element : card->Elements) {
            if (element.Object)
                rows.push_back(
                    { Joined({ element.Object->ClassName(), RecordFields(*element.Object) }), 2, false });
        }
    }
    AddVariables(browser, rows);
    AddHistory(browser, rows);
    return rows;
}

TDeckInformationForm::TDeckInformationForm(engine::TWMLBrowser& browser, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowCloseButtonHint)
    , m_browser(browser)
{
    setObjectName("DeckInformationForm");
    setWindowTitle("Deck Information");
    resize(507, 324);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(6, 6, 6, 0);
    BitBtn1 = new QPushButton("&Close", this);
    BitBtn1->setObjectName("BitBtn1");
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::hide);
    top->addWidget(BitBtn1);
    top->addStretch();
    layout->addLayout(top);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(6, 6, 6, 6);
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName("TreeView1");
    TreeView1->setHeaderHidden(true);
    TreeView1->setMinimumWidth(225);
    body->addWidget(TreeView1, 3);
    auto* right = new QVBoxLayout;
    auto* cardBox = new QGroupBox("Card Information", this);
    auto* cardRow = new QHBoxLayout(cardBox);
    cardRow->addWidget(new QLabel("Card Title", cardBox));
    CardTitle = new QLabel("CardTitle", cardBox);
    CardTitle->setObjectName("CardTitle");
    cardRow->addWidget(CardTitle, 1);
    auto* deckBox = new QGroupBox("Deck Information", this);
    auto* deckRow = new QHBoxLayout(deckBox);
    deckRow->addWidget(new QLabel("Number cards", deckBox));
    NumCards = new QLabel("NumCards", deckBox);
    NumCards->setObjectName("NumCards");
    deckRow->addWidget(NumCards, 1);
    right->addWidget(cardBox);
    right->addWidget(deckBox);
    right->addStretch();
    body->addLayout(right, 2);
    layout->addLayout(body, 1);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    layout->addWidget(StatusBar1);

    // Inputs change variables without telling anyone: the window looks again twice a second.
    m_follow.setInterval(500);
    connect(&m_follow, &QTimer::timeout, this, [this] { Refresh(); });
}

void TDeckInformationForm::Refresh()
{
    if (m_browser.Parsing())
        return;
    // The window shows every card's records, so the cards not entered yet are built for it.
    for (std::size_t i = 0; i < m_browser.WMLDeck.CardList.size(); ++i)
        m_browser.Card(i);
    const wml::TWMLDeck& deck = m_browser.WMLDeck;
    NumCards->setText(QString::number(deck.CardList.size()));
    const bool hasCard = deck.CurrentCard >= 0 && std::size_t(deck.CurrentCard) < deck.CardList.size()
        && deck.CardList[std::size_t(deck.CurrentCard)].Card;
    CardTitle->setText(hasCard
            ? QString::fromStdString(deck.CardList[std::size_t(deck.CurrentCard)].Card->Title)
            : QString());
    std::vector<TDeckOutlineRow> rows = DeckOutline(m_browser);
    if (rows == m_rows && TreeView1->topLevelItemCount() > 0)
        return;
    m_rows = std::move(rows);
    TreeView1->clear();
    std::vector<QTreeWidgetItem*> parents;
    QTreeWidgetItem* current = nullptr;
    for (const TDeckOutlineRow& row : m_rows) {
        if (std::size_t(row.Depth) > parents.size())
            continue;
        parents.resize(std::size_t(row.Depth));
        auto* item = parents.empty() ? new QTreeWidgetItem(TreeView1) : new QTreeWidgetItem(parents.back());
        item->setText(0, QString::fromStdString(row.Text));
        parents.push_back(item);
        if (row.Current)
            current = item;
    }
    for (int i = 0; i < TreeView1->topLevelItemCount(); ++i)
        TreeView1->topLevelItem(i)->setExpanded(true);
    if (current) {
        current->setExpanded(true);
        TreeView1->setCurrentItem(current);
    }
}

void TDeckInformationForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Refresh();
    m_follow.start();
}

void TDeckInformationForm::hideEvent(QHideEvent* event)
{
    m_follow.stop();
    QDialog::hideEvent(event);
}

} // namespace pivrel::app
