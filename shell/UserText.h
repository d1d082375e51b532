#pragma once
// Text the user types, pastes or answers in an input box goes into statements and
// settings as written, so it is cleaned where it enters: control characters other
// than tab are removed (a NUL would cut a statement short, and line breaks and the
// like have no place in a one-line field), and a lone UTF-16 surrogate, which no file
// can store, is refused rather than stored as a stand-in character.

#include <QString>

class QLineEdit;

namespace shell {

// text without its control characters; tabs are kept.
QString withoutControlCharacters(const QString& text);

// Text as the program takes it from the user: without control characters. Throws an
// AppError naming the character when the text holds a lone surrogate.
QString enteredText(const QString& text);

// Removes control characters from a text box as they are typed, pasted or set.
void filterControlCharacters(QLineEdit* box);

} // namespace shell
