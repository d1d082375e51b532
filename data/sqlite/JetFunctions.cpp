#include "data/sqlite/JetFunctions.h"

#include "data/sqlite/JetSql.h"
#include "data/StoredFormat.h"

#include <QCollator>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>

namespace platform::jet {

namespace {

// Jet's First and Last aggregates: the value of the first or last row in the order
// the rows are visited, which for a plain table scan is the stored order.
struct Kept {
    sqlite3_value* value;
    bool any;
};

void keepValue(sqlite3_context* ctx, sqlite3_value* v, bool replace)
{
    auto* kept = static_cast<Kept*>(sqlite3_aggregate_context(ctx, sizeof(Kept)));
    if (!kept)
        return;
    if (kept->any && !replace)
        return;
    sqlite3_value_free(kept->value);
    kept->value = sqlite3_value_dup(v);
    kept->any = true;
}

void firstStep(sqlite3_context* ctx, int, sqlite3_value** argv) { keepValue(ctx, argv[0], false); }
void lastStep(sqlite3_context* ctx, int, sqlite3_value** argv) { keepValue(ctx, argv[0], true); }

void keptFinal(sqlite3_context* ctx)
{
    auto* kept = static_cast<Kept*>(sqlite3_aggregate_context(ctx, 0));
    if (!kept || !kept->any) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_value(ctx, kept->value);
    sqlite3_value_free(kept->value);
    kept->value = nullptr;
}

// CDate for arguments that are not literals (literals are folded by the translator).
void cdateFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    const auto date = parseCDate(text);
    if (!date) {
        sqlite3_result_error(ctx, "Data type mismatch in criteria expression.", -1);
        return;
    }
    const QByteArray stored = (date->typeId() == QMetaType::QDateTime
                                   ? data::stored::dateTimeText(date->toDateTime())
                                   : data::stored::dateText(date->toDate())).toUtf8();
    sqlite3_result_text(ctx, stored.constData(), int(stored.size()), SQLITE_TRANSIENT);
}

// Jet's Chr: the character of a code point. The one way a statement's text can carry a
// NUL, which would end SQLite's reading of a quoted literal.
void chrFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_error(ctx, "Invalid use of Null", -1);
        return;
    }
    const sqlite3_int64 code = sqlite3_value_int64(argv[0]);
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
        return;
    }
    const char32_t c = char32_t(code);
    const QByteArray utf8 = QString::fromUcs4(&c, 1).toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

int compareText(void* collator, int lengthA, const void* a, int lengthB, const void* b)
{
    const QString left = QString::fromUtf8(static_cast<const char*>(a), lengthA);
    const QString right = QString::fromUtf8(static_cast<const char*>(b), lengthB);
    if (const int order = static_cast<QCollator*>(collator)->compare(left, right))
        return order;
    // Texts the locale holds equal ("Cash", "cash") still come in one fixed order.
    const int common = std::memcmp(a, b, size_t(std::min(lengthA, lengthB)));
    return common ? common : lengthA - lengthB;
}

void deleteCollator(void* collator)
{
    delete static_cast<QCollator*>(collator);
}

} // namespace

void registerFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, "First", 1, SQLITE_UTF8, nullptr, nullptr, firstStep, keptFinal, nullptr);
    sqlite3_create_function_v2(db, "Last", 1, SQLITE_UTF8, nullptr, nullptr, lastStep, keptFinal, nullptr);
    sqlite3_create_function_v2(db, "CDate", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, cdateFunction,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "Chr", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, chrFunction, nullptr,
                               nullptr, nullptr);
    auto* collator = new QCollator(QLocale());
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    sqlite3_create_collation_v2(db, kJetCollation, SQLITE_UTF8, collator, compareText, deleteCollator);
}

} // namespace platform::jet
