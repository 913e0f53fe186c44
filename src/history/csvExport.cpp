#include "history/csvExport.h"

#include "history/historyTexts.h"

namespace ups {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool needsQuotes(std::string_view field) {
    // A field that begins with the mark would lose it to the reader at the start of a file.
    return field.find_first_of(",\"\r\n") != std::string_view::npos || field.starts_with(kBom);
}

void appendField(std::string& out, std::string_view field) {
    if (!needsQuotes(field)) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// Details carry outside text (other programs' window titles, the agent's answers). A spreadsheet
// runs a cell that begins with one of these as a formula, so such a field gets the apostrophe
// that makes it text.
std::string spreadsheetText(const std::string& field) {
    if (!field.empty() &&
        std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos)
        return "'" + field;
    return field;
}

}  // namespace

void appendCsvRecord(std::string& out, std::span<const std::string> fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        appendField(out, fields[i]);
    }
    out += "\r\n";
}

std::string historyCsv(std::span<const HistoryEvent> events) {
    std::string out;
    out.reserve(64 + events.size() * 72);
    out += kBom;
    const std::string header[] = {"Fecha y hora", "Código", "Evento", "Detalle"};
    appendCsvRecord(out, header);
    std::string record[4];
    for (const HistoryEvent& e : events) {
        record[0] = isoDateTimeText(e.at);
        record[1] = historyEventKey(e.kind);
        record[2] = historyEventTitle(e.kind);
        record[3] = spreadsheetText(e.details);
        appendCsvRecord(out, record);
    }
    return out;
}

std::optional<std::vector<CsvRecord>> parseCsv(std::string_view text) {
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
    std::vector<CsvRecord> records;
    const std::size_t n = text.size();
    std::size_t i = 0;
    CsvRecord record;
    while (i < n) {
        std::string field;
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= n) return std::nullopt;
                if (text[i] != '"') {
                    field += text[i];
                } else if (i + 1 < n && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else {
            std::size_t end = text.find_first_of(",\"\r\n", i);
            if (end == std::string_view::npos) end = n;
            if (end < n && text[end] == '"') return std::nullopt;
            field.assign(text.substr(i, end - i));
            i = end;
        }
        record.push_back(std::move(field));
        if (i < n && text[i] == ',') {
            ++i;
            // A comma at the very end still ends a last, empty field.
            if (i == n) record.emplace_back();
            continue;
        }
        if (i < n && text[i] == '\r') {
            if (i + 1 >= n || text[i + 1] != '\n') return std::nullopt;
            ++i;
        }
        if (i < n && text[i] != '\n') return std::nullopt;  // text after a closing quote
        ++i;
        records.push_back(std::move(record));
        record.clear();
    }
    if (!record.empty()) records.push_back(std::move(record));
    return records;
}

}  // namespace ups
