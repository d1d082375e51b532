#include "shell/UserText.h"

#include "platform/AppError.h"

#include <QLineEdit>
#include <QValidator>

namespace shell {

namespace {

bool isRemoved(QChar c)
{
    return c.category() == QChar::Other_Control && c != u'\t';
}

// Accepts every text once its control characters are gone, keeping the cursor where
// it was among the characters that stay.
class ControlCharacterFilter : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override
    {
        QString kept;
        kept.reserve(input.size());
        int keptPos = pos;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (!isRemoved(input[i]))
                kept += input[i];
            else if (i < pos)
                --keptPos;
        }
        if (kept.size() != input.size()) {
            input = kept;
            pos = keptPos;
        }
        return Acceptable;
    }
};

} // namespace

QString withoutControlCharacters(const QString& text)
{
    QString out = text;
    out.removeIf(isRemoved);
    return out;
}

QString enteredText(const QString& text)
{
    const QString kept = withoutControlCharacters(text);
    for (qsizetype i = 0; i < kept.size(); ++i) {
        const QChar c = kept[i];
        if (c.isHighSurrogate() && i + 1 < kept.size() && kept[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate()) {
            const QString code = QString::number(c.unicode(), 16).toUpper();
            throw platform::AppError(
                QStringLiteral("The text holds a broken character (U+%1) that cannot be stored; please type it again.")
                    .arg(code));
        }
    }
    return kept;
}

void filterControlCharacters(QLineEdit* box)
{
    box->setValidator(new ControlCharacterFilter(box));
}

} // namespace shell
