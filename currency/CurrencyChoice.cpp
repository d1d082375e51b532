#include "currency/CurrencyChoice.h"

#include "currency/AmountFormat.h"
#include "platform/AppError.h"
#include "platform/Conversions.h"
#include "platform/Settings.h"
#include "data/StoredFormat.h"
#include "shell/ErrorTrap.h"

namespace currency {

namespace settings = platform::settings;

namespace {
const QString& kListKey = platform::stored::kCurrencyListKey;
const QString& kIndexKey = platform::stored::kCurrencyKey;
const QString& kOption1Key = platform::stored::kSymbolBeforeKey;
const QString& kOption2Key = platform::stored::kSymbolAfterKey;
} // namespace

CurrencyChoice& CurrencyChoice::instance()
{
    static CurrencyChoice choice;
    return choice;
}

QString OwnCurrencyFormat()
{
    return CurrencyChoice::instance().pattern();
}

QStringList splitList(const QString& list)
{
    if (list.isEmpty())
        return {};
    return list.split(kListSeparator, Qt::KeepEmptyParts);
}

bool storedBool(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = platform::parseNumber(t))
        return *number != 0;
    throw platform::AppError(QStringLiteral("Type mismatch"));
}

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString CurrencyChoice::storedList()
{
    return settings::get(kListKey, kDefaultCurrList);
}

void CurrencyChoice::saveList(const QString& list)
{
    settings::save(kListKey, list);
}

void CurrencyChoice::load()
{
    shell::ErrorTrap trap(QStringLiteral("Form3"), QStringLiteral("Form_Load"));
    load(trap);
}

void CurrencyChoice::load(shell::ErrorTrap& trap)
{
    // A fresh load starts like a freshly loaded window: nothing chosen.
    m_symbols.clear();
    m_index = -1;
    m_option1 = false;
    m_option2 = false;
    QString list;
    trap.run(108, [&] { list = storedList(); });
    trap.run(110, [&] { m_symbols = splitList(list); });
    trap.run(116, [&] {
        const int index = platform::toInteger(settings::get(kIndexKey, QStringLiteral("0")));
        if (index < -1 || index >= m_symbols.size())
            throw platform::AppError(QStringLiteral("Invalid property value"));
        choose(index);
    });
    // Choosing a placement button clears the other one; clearing one leaves the other
    // alone. Either way the state is what a failed read leaves: the previous one.
    trap.run(118, [&] {
        if (storedBool(settings::get(kOption1Key, QStringLiteral("1"))))
            setOptions(true, false);
        else
            m_option1 = false;
    });
    trap.run(120, [&] {
        if (storedBool(settings::get(kOption2Key, QStringLiteral("0"))))
            setOptions(false, true);
        else
            m_option2 = false;
    });
    m_loaded = true;
}

QString CurrencyChoice::pattern()
{
    if (!m_loaded)
        load();
    if (m_index < 0 || m_index >= m_symbols.size())
        return kAmountPattern;
    const QString& symbol = m_symbols.at(m_index);
    return m_option1 ? symbol + kAmountPattern : kAmountPattern + symbol;
}

void CurrencyChoice::appendEntry(const QString& symbol)
{
    m_symbols.append(symbol);
    if (m_index >= 0)
        return;
    // A stored position that cannot be read was reported when the choice loaded.
    try {
        const int stored = platform::toInteger(settings::get(kIndexKey, QStringLiteral("0")));
        if (stored >= 0 && stored < m_symbols.size())
            m_index = stored;
    } catch (const std::exception&) {
    }
}

void CurrencyChoice::choose(int index)
{
    m_index = index;
    settings::save(kIndexKey, QString::number(index));
}

void CurrencyChoice::setOptions(bool option1, bool option2)
{
    m_option1 = option1;
    m_option2 = option2;
    settings::save(kOption1Key, boolText(option1));
    settings::save(kOption2Key, boolText(option2));
}

} // namespace currency
