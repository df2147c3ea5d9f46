// CSV records split as RFC 4180 has them, and tables of them under a header line.
#include "csv.h"

#include <fstream>
#include <sstream>

namespace dbgen {

std::vector<CsvRow> ParseCsv(const std::string& text) {
    std::vector<CsvRow> rows;
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;

    std::size_t line = 1;
    while (i < n) {
        // Skip empty lines between records.
        if (text[i] == '\n') {
            ++i;
            ++line;
            continue;
        }
        if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') {
            i += 2;
            ++line;
            continue;
        }

        const std::size_t recordLine = line;
        CsvRow row;
        for (;;) {
            std::string field;
            if (i < n && text[i] == '"') {
                ++i;
                for (;;) {
                    if (i >= n) throw CsvError("unterminated quoted field", recordLine);
                    const char c = text[i++];
                    if (c == '"') {
                        if (i < n && text[i] == '"') {
                            field += '"';
                            ++i;
                        } else {
                            break;
                        }
                    } else {
                        if (c == '\n') ++line;
                        field += c;
                    }
                }
                if (i < n && text[i] != ',' && text[i] != '\n' && !(text[i] == '\r' && i + 1 < n && text[i + 1] == '\n'))
                    throw CsvError("text after a closing quote", recordLine);
            } else {
                while (i < n && text[i] != ',' && text[i] != '\n' && !(text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')) {
                    if (text[i] == '"') throw CsvError("quote inside an unquoted field", recordLine);
                    field += text[i++];
                }
            }
            row.push_back(std::move(field));
            if (i < n && text[i] == ',') {
                ++i;
                continue;
            }
            // End of record: line end or end of text.
            if (i < n) {
                i += text[i] == '\r' ? 2 : 1;
                ++line;
            }
            break;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

CsvTable CsvTable::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open");
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) throw std::runtime_error(path + ": read error");
    return FromText(buffer.str(), path);
}

CsvTable CsvTable::FromText(const std::string& text, const std::string& source) {
    CsvTable table;
    table.source_ = source;
    std::vector<CsvRow> rows;
    try {
        rows = ParseCsv(text);
    } catch (const CsvError& e) {
        throw std::runtime_error(source + ":" + std::to_string(e.line) + ": " + e.what());
    }
    if (rows.empty()) throw std::runtime_error(source + ": no header line");
    table.header_ = std::move(rows.front());
    rows.erase(rows.begin());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].size() != table.header_.size())
            throw std::runtime_error(source + ": record " + std::to_string(r + 1) + " has " +
                                     std::to_string(rows[r].size()) + " fields, the header " +
                                     std::to_string(table.header_.size()));
    }
    table.rows_ = std::move(rows);
    return table;
}

std::size_t CsvTable::Column(const std::string& name) const {
    for (std::size_t c = 0; c < header_.size(); ++c)
        if (header_[c] == name) return c;
    throw std::runtime_error(source_ + ": no column \"" + name + "\"");
}

}  // namespace dbgen
