#include "currency/CurrencyChoice.h"

#include "currency/AmountFormat.h"
#include "platform/AppError.h"
#include "platform/Conversions.h"
#include "platform/Settings.h"
#include "shell/ErrorTrap.h"

namespace currency {

namespace settings = platform::settings;

CurrencyChoice& CurrencyChoice::instance()
{
    static CurrencyChoice choice;
    return choice;
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

void CurrencyChoice::load()
{
    shell::ErrorTrap trap(QStringLiteral("Form3"), QStringLiteral("Form_Load"));
    m_symbols.clear();
    m_index = -1;
    m_option1 = false;
    m_option2 = false;
    QString list;
    trap.run(108, [&] { list = settings::get(QStringLiteral("CurrList"), kDefaultCurrList); });
    m_symbols = list.split(kListSeparator);
    trap.run(116, [&] {
        const int index = platform::toInteger(settings::get(QStringLiteral("Currency"), QStringLiteral("0")));
        if (index < -1 || index >= m_symbols.size())
            throw platform::AppError(QStringLiteral("Invalid property value"));
        choose(index);
    });
    // Two option buttons in one frame: choosing one clears the other.
    trap.run(118, [&] {
        if (storedBool(settings::get(QStringLiteral("Option1"), QStringLiteral("1"))))
            setPlacement(true);
        else if (m_option1)
            m_option1 = false;
    });
    trap.run(120, [&] {
        if (storedBool(settings::get(QStringLiteral("Option2"), QStringLiteral("0"))))
            setPlacement(false);
        else if (m_option2)
            m_option2 = false;
    });
    m_loaded = true;
}

QString CurrencyChoice::pattern()
{
    if (!m_loaded)
        load();
    if (m_index < 0)
        return kAmountPattern;
    const QString symbol = m_symbols.value(m_index);
    return m_option1 ? symbol + kAmountPattern : kAmountPattern + symbol;
}

void CurrencyChoice::choose(int index)
{
    m_index = index;
    settings::save(QStringLiteral("Currency"), QString::number(index));
}

void CurrencyChoice::setPlacement(bool before)
{
    m_option1 = before;
    m_option2 = !before;
    settings::save(QStringLiteral("Option1"), m_option1 ? QStringLiteral("True") : QStringLiteral("False"));
    settings::save(QStringLiteral("Option2"), m_option2 ? QStringLiteral("True") : QStringLiteral("False"));
}

void CurrencyChoice::addSymbol(const QString& symbol)
{
    m_symbols.append(symbol);
    const QString list = settings::get(QStringLiteral("CurrList"), kDefaultCurrList);
    settings::save(QStringLiteral("CurrList"), list + kListSeparator + symbol);
}

} // namespace currency
