// Reader for comma-separated files as RFC 4180 defines them: quoted fields may hold commas, line
// breaks and doubled quotes. Text passes through as bytes, so UTF-8 stays intact.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace dbgen {

using CsvRow = std::vector<std::string>;

struct CsvError : std::runtime_error {
    CsvError(const std::string& what, std::size_t line) : std::runtime_error(what), line(line) {}
    std::size_t line;  // 1-based line where the bad record starts
};

// Splits the whole text into records. Records end at CRLF or a bare LF; a final record needs no
// line end; a leading UTF-8 byte order mark is skipped; empty lines are skipped.
// Throws CsvError for a quote inside an unquoted field, text after a closing quote, or an
// unterminated quoted field.
std::vector<CsvRow> ParseCsv(const std::string& text);

// A parsed file whose first record names the columns.
class CsvTable {
public:
    // Reads and parses the file; throws std::runtime_error (with the path) on any failure.
    static CsvTable Load(const std::string& path);
    static CsvTable FromText(const std::string& text, const std::string& source);

    // Index of the named column; throws when the header lacks it.
    std::size_t Column(const std::string& name) const;
    const std::vector<CsvRow>& Rows() const { return rows_; }
    const std::string& Source() const { return source_; }

private:
    std::string source_;
    CsvRow header_;
    std::vector<CsvRow> rows_;
};

}  // namespace dbgen
