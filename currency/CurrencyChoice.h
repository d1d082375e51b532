#pragma once
// The user's currency choice: the symbol list, the chosen entry and its placement,
// kept in the settings store. The currency options window edits it; amounts are
// formatted with the pattern it gives. It is read from the settings when first needed
// and kept until the options window closes, so a bad stored value is reported once
// per load, not once per amount.

#include <QString>
#include <QStringList>

namespace currency {

inline const QString kListSeparator = QStringLiteral(";;;");
// $, £, ¥ and €, in that order.
inline const QString kDefaultCurrList = QStringLiteral("$;;;\u00A3;;;\u00A5;;;\u20AC");

class CurrencyChoice {
public:
    static CurrencyChoice& instance();

    bool isLoaded() const { return m_loaded; }
    // Reads the settings (the options window's load steps 108-120), reporting a bad
    // "Currency", "Option1" or "Option2" under Form3.Form_Load.
    void load();
    void unload() { m_loaded = false; }

    // "#,##0.00" with the chosen symbol before or after it; the bare pattern when no
    // entry is chosen. Loads first when needed.
    QString pattern();

    const QStringList& symbols() const { return m_symbols; }
    int index() const { return m_index; }
    bool before() const { return m_option1; }
    bool after() const { return m_option2; }

    // Changes, each saved at once.
    void choose(int index);
    void setPlacement(bool before);
    void addSymbol(const QString& symbol);

private:
    bool m_loaded = false;
    QStringList m_symbols;
    int m_index = -1;
    bool m_option1 = false;
    bool m_option2 = false;
};

// Reads a stored yes/no value: "True"/"False" in any case, or a number (non-zero is
// true). Throws "Type mismatch" for anything else.
bool storedBool(const QString& text);

} // namespace currency
