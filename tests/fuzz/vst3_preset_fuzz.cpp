// libFuzzer entry for the VST 3 preset file reader: any bytes must give either
// a refusal with a reason and the file untouched, or a file whose class id is
// 32 hex digits and whose chunks, written out again, read back the same;
// never a crash or a read outside the input (the build adds AddressSanitizer
// and UBSan).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/vst3/preset_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zem::vst3;
    PresetFile file;
    file.classId = "untouched";
    std::string error;
    if (!readPresetFile(data, size, file, error)) {
        if (error.empty() || file.classId != "untouched" || !file.component.empty())
            std::abort();
        return 0;
    }
    if (file.classId.size() != 32)
        std::abort();
    const std::vector<std::uint8_t> again =
        writePresetFile(makeUid(0x01234567, 0x89ABCDEF, 0x01234567, 0x89ABCDEF), file.component, file.metaInfo);
    PresetFile back;
    if (!readPresetFile(again.data(), again.size(), back, error) || back.component != file.component ||
        back.metaInfo != file.metaInfo || back.classId != "0123456789ABCDEF0123456789ABCDEF")
        std::abort();
    return 0;
}
