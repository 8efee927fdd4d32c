// Feeds arbitrary bytes to the round-file reader. Damage must surface as
// TFormatError; any other exception escapes and libFuzzer reports it as a
// crash. A record the reader accepts must write back byte for byte: round
// files go back and forth between the administrator and the participants,
// and a field that changed on the way would change someone's answers.
#include "core/model/participant.h"
#include "core/model/stream.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(data, qsizetype(size));
    std::unique_ptr<foresyn::TParticipant> participant;
    try {
        participant = foresyn::TParticipant::CreateFromBytes(input);
    } catch (const foresyn::TFormatError&) {
        return 0;
    }
    const QByteArray written = participant->SaveToBytes();
    if (written != input) {
        qsizetype at = 0;
        const qsizetype common = std::min(written.size(), input.size());
        while (at < common && written[at] == input[at]) {
            ++at;
        }
        std::fprintf(stderr,
                     "round trip changed the record: %zu bytes read, %lld written, first "
                     "difference at byte %lld\n",
                     size, static_cast<long long>(written.size()), static_cast<long long>(at));
        std::abort();
    }
    return 0;
}
