// Reading a CSV file into a table: the header's names and the rows, quotes
// removed, each row as wide as the header.
#include "convert.h"
#include "source.h"

#include "tokens.h"

#include <string_view>

namespace tqvconvert {

namespace {

using tqvs::isBlank;
using tqvs::trim;

bool splitCsvLine(std::string_view line, std::vector<std::string> &fields) {
    fields.clear();
    std::size_t i = 0;
    while (true) {
        std::string field;
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (true) {
                if (i >= line.size())
                    return false; // unterminated quote
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            while (i < line.size() && isBlank(line[i]))
                ++i;
            if (i < line.size() && line[i] != ',')
                return false; // text after the closing quote
        } else {
            const std::size_t begin = i;
            while (i < line.size() && line[i] != ',')
                ++i;
            field = std::string(trim(line.substr(begin, i - begin)));
            if (field.find('"') != std::string::npos)
                return false;
        }
        fields.push_back(std::move(field));
        if (i >= line.size())
            return true;
        ++i; // the comma
    }
}

} // namespace

bool parseCsv(const std::string &text, const std::string &origin, CsvTable &out,
              std::string &error) {
    CsvTable table;
    std::size_t pos = textStart(text);
    int lineNo = 0;
    std::vector<std::string> fields;
    bool haveHeader = false;
    std::string_view line;
    while (tqvs::nextLine(text, pos, line)) {
        ++lineNo;
        if (line.find('\r') != std::string_view::npos) {
            error = where(origin, lineNo) + kLoneCarriageReturn;
            return false;
        }
        if (trim(line).empty())
            continue;
        if (!splitCsvLine(line, fields)) {
            error = where(origin, lineNo) + "badly quoted field";
            return false;
        }
        if (!haveHeader) {
            table.header = fields;
            haveHeader = true;
            continue;
        }
        if (fields.size() != table.header.size()) {
            error = where(origin, lineNo) + "row has " + std::to_string(fields.size()) +
                    " fields, the header " + std::to_string(table.header.size());
            return false;
        }
        table.rows.push_back(fields);
        table.lines.push_back(lineNo);
    }
    if (!haveHeader) {
        error = where(origin, 1) + "no header line";
        return false;
    }
    out = std::move(table);
    return true;
}

} // namespace tqvconvert
