// The exported CSV: how fields are written, what the reader refuses, and that the reader takes
// back whatever the writer wrote.
#include "history/csvExport.h"

#include <gtest/gtest.h>

#include <random>

namespace ups {
namespace {

TEST(CsvFields, QuotedOnlyWhenTheyMustBe) {
    const std::pair<std::string, std::string> cases[] = {
        {"Falla de red", "Falla de red"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"dijo \"no\"", "\"dijo \"\"no\"\"\""},
        {"dos\r\nlíneas", "\"dos\r\nlíneas\""},
        {"sólo\n", "\"sólo\n\""},
        {"\xEF\xBB\xBFmarca", "\"\xEF\xBB\xBFmarca\""},
    };
    for (const auto& [field, written] : cases) {
        std::string out;
        appendCsvRecord(out, std::vector<std::string>{field});
        EXPECT_EQ(out, written + "\r\n") << field;
    }
}

TEST(CsvReader, RefusesWhatNoWriterWrites) {
    for (const char* text : {"a\"b\r\n", "\"abc", "\"a\"b,c\r\n", "a\rb\r\n", "x,\"y\"\"\r\n"}) {
        EXPECT_FALSE(parseCsv(text).has_value()) << text;
    }
    // Bare line feeds and a missing last line end are still read.
    const auto lenient = parseCsv("a,b\nc,");
    ASSERT_TRUE(lenient.has_value());
    EXPECT_EQ(*lenient, (std::vector<CsvRecord>{{"a", "b"}, {"c", ""}}));
}

TEST(HistoryCsv, DetailsASpreadsheetWouldRunAreWrittenAsText) {
    const std::pair<std::string, std::string> cases[] = {
        {"=HYPERLINK(\"x\")", "'=HYPERLINK(\"x\")"},
        {"+1", "'+1"},
        {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"Notas - =x", "Notas - =x"},
        {"", ""}};
    for (const auto& [details, written] : cases) {
        const HistoryEvent event{46000, HistoryEventKind::applicationsClosed, details};
        const auto read = parseCsv(historyCsv(std::span(&event, 1)));
        ASSERT_TRUE(read.has_value() && read->size() == 2) << details;
        EXPECT_EQ((*read)[1][3], written);
    }
}

TEST(CsvRoundTrip, AnyRecordsComeBackAsWritten) {
    // Pieces that stress the quoting, in UTF-8 with accents.
    const std::string pieces[] = {"a", ",", "\"",      "\r", "\n",           "\r\n", " ",
                                  "ñ", "é", "Batería", ";",  "\xEF\xBB\xBF", "'",    "\t"};
    std::mt19937 random(20261208);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (int round = 0; round < 500; ++round) {
        std::vector<CsvRecord> records(static_cast<std::size_t>(pick(6)));
        for (CsvRecord& record : records) {
            record.resize(static_cast<std::size_t>(1 + pick(5)));
            for (std::string& field : record) {
                for (int i = pick(8); i > 0; --i) field += pieces[pick(std::size(pieces))];
            }
        }
        std::string text = round % 2 ? "\xEF\xBB\xBF" : "";
        for (const CsvRecord& record : records) appendCsvRecord(text, record);
        const auto read = parseCsv(text);
        ASSERT_TRUE(read.has_value()) << text;
        ASSERT_EQ(*read, records) << text;
    }
}

}  // namespace
}  // namespace ups
