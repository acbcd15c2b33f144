// The deep-link codec: any text given to parse never crashes, and a target it parses whose address has no
// white space at either end comes back unchanged through deepLink and parse (an empty quality, which the
// writer leaves out, comes back as none). The writer's own contract is checked on arbitrary pairs too.
//
// Input: a mode byte, then UTF-8 text; in writer mode the text is the address, a NUL, then the quality.

#include "VamberURL.h"

#include "FuzzApplication.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// What reading the link written for address and quality must give.
VamberURL::Target expectedBack(const QString& address, const QString& quality) {
    return {address, quality.isEmpty() ? QString() : quality};
}

void roundTrip(const QString& address, const QString& quality) {
    const std::optional<QUrl> link = VamberURL::deepLink(address, quality);
    if (address.trimmed().isEmpty()) {
        FUZZ_ASSERT(!link, "a blank address gave a link");
        return;
    }
    FUZZ_ASSERT(link.has_value(), "an address gave no link");
    const std::optional<VamberURL::Target> back = VamberURL::parse(link->toString(QUrl::FullyEncoded));
    FUZZ_ASSERT(back.has_value(), "a written link did not parse");
    FUZZ_ASSERT(*back == expectedBack(address.trimmed(), quality), "a written link parsed to another target");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (data[0] % 2 == 0) {
        const std::optional<VamberURL::Target> target = VamberURL::parse(text);
        if (!target)
            return 0;
        FUZZ_ASSERT(!target->address.isEmpty(), "a parsed target without an address");
        if (target->address.trimmed() == target->address)
            roundTrip(target->address, target->quality);
        return 0;
    }
    const qsizetype nul = text.indexOf(QChar(0));
    roundTrip(nul < 0 ? text : text.first(nul), nul < 0 ? QString() : text.sliced(nul + 1));
    return 0;
}
