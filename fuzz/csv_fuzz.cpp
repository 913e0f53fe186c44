// Any bytes into the history's CSV reader: it must finish, and records it read, written out
// again, must read back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "history/csvExport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto records = ups::parseCsv({reinterpret_cast<const char*>(data), size});
    if (!records) return 0;
    std::string written;
    for (const ups::CsvRecord& record : *records) ups::appendCsvRecord(written, record);
    // Each field gains at most its two quotes and a doubled quote per quote; each record a CR.
    if (written.size() > 3 * size + 2 * records->size() + 2) __builtin_trap();
    if (ups::parseCsv(written) != records) __builtin_trap();
    return 0;
}
