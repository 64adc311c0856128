#include "stage/font_coverage.h"

#include <QFontMetrics>
#include <QList>

#include <algorithm>

QString MissingCharacters(const QFont& font, const std::vector<std::u16string>& texts) {
    const QFontMetrics metrics(font);
    std::u32string missing;
    for (const std::u16string& text : texts) {
        const QString line = QString::fromStdU16String(text);
        for (const uint character : line.toUcs4()) {
            const bool blank = character <= ' ';
            if (!blank && !metrics.inFontUcs4(character) &&
                std::find(missing.begin(), missing.end(), character) == missing.end()) {
                missing.push_back(static_cast<char32_t>(character));
            }
        }
    }
    return QString::fromStdU32String(missing);
}

QString MissingFontMessage(const QString& missing) {
    return QString(
               "Qorvelin cannot show its Traditional Chinese text: no installed font has the "
               "characters \"%1\". Install the Debian package fonts-noto-cjk "
               "(sudo apt install fonts-noto-cjk) and start Qorvelin again.")
        .arg(missing);
}
