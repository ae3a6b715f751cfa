#include "link/text_field.h"

#include <cstring>

void CopyToField(char* field, size_t capacity, std::string_view text) {
    if (field == nullptr || capacity == 0) return;
    size_t n = text.size();
    if (n > capacity - 1) {
        n = capacity - 1;
        // text[n] is the first byte left out. While it is a continuation byte (10xxxxxx) the cut
        // falls inside a character: back up to that character's lead byte. A character spans at
        // most four bytes, so at most three steps; longer runs are not UTF-8 and are cut as is.
        size_t cut = n;
        for (int steps = 0; steps < 3 && cut > 0; ++steps) {
            if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80) break;
            --cut;
        }
        if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80) n = cut;
    }
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}
