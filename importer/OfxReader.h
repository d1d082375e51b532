#pragma once
// The OFX statement reader, for OFX 1.x (SGML, where elements need no end tag), OFX 2.x
// (XML) and Quicken's QFX (OFX with an Intuit block): bank and credit card statements.
// Each transaction keeps its FITID, so a second download of the same period is known.
//
// A single pass over the tags, in time linear in the file. LibOFX, the usual library for
// this, takes time growing with the square of the transactions (32,000 of them: over a
// minute), and statements of 100,000 rows must read in well under a second.
//
// Amounts and dates are read from the file's own text (TRNAMT, DTPOSTED), so they are
// exact. A file without its closing </OFX> is cut off and refused as a whole; a
// statement of an investment account, or of more than one account, is refused too.

#include "importer/Statement.h"

#include <QByteArray>

namespace importer {

Statement readOfx(const QByteArray& bytes, const ReadOptions& options = {});

} // namespace importer
