// Writes every character the show types, each once, as UTF-8 to the file named on the
// command line: the text the show's face must hold (the `face` target).

#include <QString>

#include <fstream>
#include <iostream>
#include <set>

#include "show/show_script.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: show_text FILE\n";
        return 2;
    }
    std::set<char16_t> characters;
    for (const std::u16string& message : ShowMessages()) {
        characters.insert(message.begin(), message.end());
    }
    const QByteArray text =
        QString::fromStdU16String(std::u16string(characters.begin(), characters.end())).toUtf8();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(text.constData(), text.size());
    return out ? 0 : 1;
}
