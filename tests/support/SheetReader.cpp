#include "tests/support/SheetReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#ifndef TALLYFOLD_SHEET_READER
#error "TALLYFOLD_SHEET_READER must name xlsx_cells.py and TALLYFOLD_PYTHON its interpreter"
#endif

namespace testing_support {

const SheetCell* Sheet::at(int row, int column) const
{
    const auto it = cells.find({row, column});
    return it == cells.end() ? nullptr : &it->second;
}

QString Sheet::shown(int row, int column) const
{
    const SheetCell* cell = at(row, column);
    return cell ? cell->shown : QString();
}

QStringList Sheet::row(int row, int columns) const
{
    QStringList out;
    for (int c = 1; c <= columns; ++c)
        out << shown(row, c);
    return out;
}

int Sheet::lastRow() const
{
    return cells.empty() ? 0 : cells.rbegin()->first.first;
}

Sheet readSheet(const QString& path, const QLocale& locale)
{
    QProcess reader;
    reader.start(QStringLiteral(TALLYFOLD_PYTHON),
                 {QStringLiteral(TALLYFOLD_SHEET_READER), path, locale.decimalPoint(), locale.groupSeparator()});
    Sheet sheet;
    if (!reader.waitForFinished(60000) || reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        ADD_FAILURE() << "cannot read " << path.toStdString() << ": " << reader.readAllStandardError().toStdString();
        return sheet;
    }
    const QJsonObject dump = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    for (const QJsonValue& value : dump.value(u"cells").toArray()) {
        const QJsonObject cell = value.toObject();
        sheet.cells[{cell.value(u"row").toInt(), cell.value(u"column").toInt()}] = {
            cell.value(u"type").toString(), cell.value(u"value").toVariant(), cell.value(u"format").toString(),
            cell.value(u"shown").toString()};
    }
    const QJsonObject widths = dump.value(u"widths").toObject();
    for (auto it = widths.begin(); it != widths.end(); ++it)
        sheet.widths[it.key().toInt()] = it.value().toDouble();
    sheet.formulas = dump.value(u"formulas").toInt();
    return sheet;
}

} // namespace testing_support
