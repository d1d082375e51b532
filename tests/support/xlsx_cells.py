#!/usr/bin/python3
"""Reads the first sheet of an .xlsx file with openpyxl and prints it as JSON: every cell
with its type, value, number format and the text a spreadsheet shows for it (as Excel
and LibreOffice show it: number formats with the reader's separators, _xHHHH_ escapes
decoded), the column widths, and how many formulas the sheet holds.

    xlsx_cells.py FILE DECIMAL GROUP

DECIMAL and GROUP are the separators of the reader's locale, which a spreadsheet uses
when it shows a number format's "." and ",".
"""
import datetime
import json
import re
import sys
import zipfile

import openpyxl


def tokens(code):
    """Splits a one-section number format code into ('lit', text) and ('code', text)."""
    out = []
    i = 0
    while i < len(code):
        c = code[i]
        if c == '"':
            end = code.index('"', i + 1)
            out.append(('lit', code[i + 1:end]))
            i = end + 1
        elif c == '\\':
            out.append(('lit', code[i + 1]))
            i += 2
        else:
            j = i
            while j < len(code) and code[j] not in '"\\':
                j += 1
            out.append(('code', code[i:j]))
            i = j
    return out


def show_number(value, code, decimal, group):
    if code == 'General':
        text = repr(value)
        if text.endswith('.0'):
            text = text[:-2]
        return text.replace('.', decimal)
    parts = []
    negative = value < 0
    for kind, text in tokens(code):
        if kind == 'lit':
            parts.append(text)
            continue
        match = re.search(r'[#0,]+(\.0+)?', text)
        if not match:
            parts.append(text)
            continue
        places = len(match.group(1)) - 1 if match.group(1) else 0
        # Half away from zero, as spreadsheets round what they show.
        scaled = int(abs(value) * 10 ** places + 0.5 + 1e-9)
        whole, fraction = divmod(scaled, 10 ** places)
        digits = str(whole)
        if ',' in match.group(0):
            groups = []
            while len(digits) > 3:
                groups.insert(0, digits[-3:])
                digits = digits[:-3]
            digits = group.join([digits] + groups)
        if places:
            digits += decimal + str(fraction).rjust(places, '0')
        parts.append(text[:match.start()] + digits + text[match.end():])
        negative = negative and scaled != 0
    return ('-' if negative else '') + ''.join(parts)


def show_date(value, code):
    parts = []
    for kind, text in tokens(code):
        if kind == 'lit':
            parts.append(text)
            continue
        for run in re.findall(r'd+|m+|y+|[^dmy]+', text):
            if run == 'd':
                parts.append(str(value.day))
            elif run == 'dd':
                parts.append('%02d' % value.day)
            elif run == 'm':
                parts.append(str(value.month))
            elif run == 'mm':
                parts.append('%02d' % value.month)
            elif run == 'yy':
                parts.append('%02d' % (value.year % 100))
            elif run == 'yyyy':
                parts.append('%04d' % value.year)
            elif run[0] in 'dmy':
                raise ValueError('no display for ' + run + ' in ' + code)
            else:
                parts.append(run)
    return ''.join(parts)


def main(path, decimal, group):
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    cells = []
    # Only the cells that exist: a sheet may reach down a million rows.
    for _, cell in sorted(sheet._cells.items()):
        if cell.value is None:
            continue
        code = cell.number_format
        if isinstance(cell.value, datetime.datetime):
            shown = show_date(cell.value, code)
            value = cell.value.date().isoformat()
            kind = 'date'
        elif isinstance(cell.value, (int, float)):
            shown = show_number(cell.value, code, decimal, group)
            value = cell.value
            kind = 'number'
        else:
            # Characters a file cannot hold as they are come as _xHHHH_.
            shown = re.sub(r'_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), cell.value)
            value = cell.value
            kind = 'text'
        cells.append({'row': cell.row, 'column': cell.column, 'type': kind, 'value': value,
                      'format': code, 'shown': shown})
    widths = {}
    for key, dimension in sheet.column_dimensions.items():
        if dimension.width:
            widths[str(openpyxl.utils.column_index_from_string(key))] = dimension.width
    with zipfile.ZipFile(path) as archive:
        xml = archive.read('xl/worksheets/sheet1.xml').decode('utf-8')
    formulas = len(re.findall(r'<f[ >/]', xml))
    json.dump({'cells': cells, 'widths': widths, 'formulas': formulas}, sys.stdout)


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2], sys.argv[3])
