#pragma once
// The user's currency choice: the symbol list, the chosen entry and its placement,
// kept in the settings store. The currency options window edits it; amounts are
// formatted with the pattern it gives. It is read from the settings when first needed
// and kept until the options window closes, so a bad stored value is reported once
// per load, not once per amount.

#include <QString>
#include <QStringList>

namespace shell {
class ErrorTrap;
}

namespace currency {

inline const QString kListSeparator = QStringLiteral(";;;");
// $, £, ¥ and €, in that order.
inline const QString kDefaultCurrList = QStringLiteral("$;;;\u00A3;;;\u00A5;;;\u20AC");

class CurrencyChoice {
public:
    static CurrencyChoice& instance();

    bool isLoaded() const { return m_loaded; }
    // Reads the settings as the options window loads them, reporting a bad "Currency",
    // "Option1" or "Option2" under Form3.Form_Load (statements 108 to 120 of trap).
    void load();
    void load(shell::ErrorTrap& trap);
    // Forgets the cached choice; the next pattern() reads the settings afresh.
    void unload() { m_loaded = false; }

    // "#,##0.00" with the chosen symbol before or after it; the bare pattern when no
    // entry is chosen, and the symbol after when neither placement is chosen.
    // Loads first when needed.
    QString pattern();

    const QStringList& symbols() const { return m_symbols; }
    int index() const { return m_index; }
    bool before() const { return m_option1; }
    bool after() const { return m_option2; }

    // Changes, each saved at once: the chosen position, and the state of the two
    // placement buttons as the window shows them. A change is in force even when its
    // save fails (and throws).
    void choose(int index);
    void setOptions(bool option1, bool option2);
    // Adds an entry to the working list only; the stored list is extended separately
    // (storedList / saveList), so a symbol holding the separator stays one entry
    // until the next load. With nothing chosen, a stored position that now names an
    // entry (one the list was too short for when it loaded, as an empty list is for
    // the first position) is what the next load takes: it becomes the choice now.
    void appendEntry(const QString& symbol);

    // The stored "CurrList" text, the default list when absent.
    static QString storedList();
    static void saveList(const QString& list);

private:
    bool m_loaded = false;
    QStringList m_symbols;
    int m_index = -1;
    bool m_option1 = false;
    bool m_option2 = false;
};

// The number-format pattern every displayed amount uses, from the current choice.
QString OwnCurrencyFormat();

// The entries of a stored list, in order, untrimmed, empty entries kept; the empty
// text holds no entries.
QStringList splitList(const QString& list);

// Reads a stored yes/no value: "True"/"False" in any case, or a number (non-zero is
// true). Throws "Type mismatch" for anything else.
bool storedBool(const QString& text);
// How a yes/no value is stored: "True" or "False".
QString boolText(bool value);

} // namespace currency
