// Feeds arbitrary bytes to the answer decoder and parser: as a wire answer (length + zlib),
// and, so that the XML layer is reached often, as already-inflated XML.
#include "uAnswerCodec.h"
#include "uResponse.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    TResponse r;
    try {
        switch (data[0] % 3) {
        case 0:
            r.DataReceive(bytes);
            break;
        case 1:
            r.ParseXml(bytes);
            break;
        default:
            // A well-framed answer around the fuzzed XML exercises inflate and parse together.
            r.DataReceive(KxEncodeAnswer(bytes, 1));
            break;
        }
        for (int i = 0; i < r.ParamCount(); ++i)
            (void)r.GetParam(r.ParamName(i));
    } catch (const EKXServiceError&) {
    }
    return 0;
}
