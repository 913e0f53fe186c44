#pragma once
// The history as a CSV file (RFC 4180: comma separated, CRLF line ends, a field quoted when it
// holds a comma, a quote or a line end, quotes doubled), in UTF-8 with a byte-order mark so that
// spreadsheets on Windows read the accents. The reader takes back what the writer wrote.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/historyRecorder.h"

namespace ups {

using CsvRecord = std::vector<std::string>;

void appendCsvRecord(std::string& out, std::span<const std::string> fields);

// The header ("Fecha y hora", "Código", "Evento", "Detalle") and one record per event, in the
// order given. A detail a spreadsheet would take for a formula (it begins with =, +, -, @, a tab
// or a carriage return) is written after an apostrophe, as text.
std::string historyCsv(std::span<const HistoryEvent> events);

// The records of a CSV text, a leading byte-order mark skipped; nothing when the text is not
// well formed (a quote inside an unquoted field, text after a closing quote, an unclosed quote).
std::optional<std::vector<CsvRecord>> parseCsv(std::string_view text);

}  // namespace ups
