// The reader of stored records on arbitrary bytes: it never crashes, and
// whatever it reads, an XML parser reads the same way (a record it read
// differently could pass the chain check while saying something else).
#include "FuzzCheck.h"
#include "RecordReadings.h"
#include "common/AppError.h"
#include "records/ChainVerifier.h"
#include "records/RecordReader.h"

#include <cstdint>

namespace {
void silent(void*, const char*, ...) {}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xmlSetGenericErrorFunc(nullptr, &silent);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    ChainVerifier verifier;
    verifier.add(1, bytes);

    ReadRecord read;
    try {
        read = RecordReader::read(bytes);
    } catch (const AppError&) {
        return 0;
    }
    FuzzCheck::check(RecordReadings::byReader(read) == RecordReadings::byParser(bytes));
    return 0;
}
