#include "core/deep/table_schema.h"

#include <algorithm>
#include <cctype>

namespace marlowen::carve::deep {
namespace {

std::string upper(std::string_view s) {
    std::string u(s);
    std::transform(u.begin(), u.end(), u.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return u;
}

// One token of the SQL text: an identifier or keyword (quotes removed), a
// number, or a single punctuation character.
struct Token {
    std::string text;
    bool quoted = false;
};

// Splits SQL into tokens, dropping comments and white space. Quoted names
// may use "", '', `` or []; a doubled quote inside stands for itself. An
// unterminated quote or comment ends the text.
std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            const size_t end = s.find("*/", i + 2);
            i = end == std::string_view::npos ? s.size() : end + 2;
        } else if (c == '"' || c == '\'' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            Token t;
            t.quoted = true;
            ++i;
            while (i < s.size()) {
                if (s[i] == close) {
                    if (close != ']' && i + 1 < s.size() && s[i + 1] == close) {
                        t.text += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += s[i++];
            }
            out.push_back(std::move(t));
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
                   static_cast<unsigned char>(c) >= 0x80 || c == '$') {
            Token t;
            while (i < s.size() &&
                   (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_' ||
                    static_cast<unsigned char>(s[i]) >= 0x80 || s[i] == '$' || s[i] == '.'))
                t.text += s[i++];
            out.push_back(std::move(t));
        } else {
            out.push_back(Token{std::string(1, c), false});
            ++i;
        }
    }
    return out;
}

bool isKeyword(const Token& t, const char* word) {
    return !t.quoted && upper(t.text) == word;
}

// Words that end a column's type name and start its constraints.
bool startsConstraint(const Token& t) {
    if (t.quoted) return false;
    static const char* kWords[] = {"CONSTRAINT", "PRIMARY",   "NOT",     "NULL",
                                   "UNIQUE",     "CHECK",     "DEFAULT", "COLLATE",
                                   "REFERENCES", "GENERATED", "AS",      "AUTOINCREMENT"};
    const std::string u = upper(t.text);
    return std::any_of(std::begin(kWords), std::end(kWords), [&](const char* w) { return u == w; });
}

bool startsTableConstraint(const Token& t) {
    return isKeyword(t, "CONSTRAINT") || isKeyword(t, "PRIMARY") || isKeyword(t, "UNIQUE") ||
           isKeyword(t, "CHECK") || isKeyword(t, "FOREIGN");
}

}  // namespace

Affinity affinityOf(std::string_view declaredType) {
    const std::string u = upper(declaredType);
    if (u.find("INT") != std::string::npos) return Affinity::Integer;
    if (u.find("CHAR") != std::string::npos || u.find("CLOB") != std::string::npos ||
        u.find("TEXT") != std::string::npos)
        return Affinity::Text;
    if (u.empty() || u.find("BLOB") != std::string::npos) return Affinity::Blob;
    if (u.find("REAL") != std::string::npos || u.find("FLOA") != std::string::npos ||
        u.find("DOUB") != std::string::npos)
        return Affinity::Real;
    return Affinity::Numeric;
}

std::optional<TableSchema> parseCreateTable(std::string_view sql) {
    const std::vector<Token> tk = tokenize(sql);
    size_t i = 0;
    if (i >= tk.size() || !isKeyword(tk[i], "CREATE")) return std::nullopt;
    ++i;
    while (i < tk.size() && (isKeyword(tk[i], "TEMP") || isKeyword(tk[i], "TEMPORARY"))) ++i;
    // Virtual tables have no records of their own in the file.
    if (i >= tk.size() || !isKeyword(tk[i], "TABLE")) return std::nullopt;
    ++i;
    if (i + 2 < tk.size() && isKeyword(tk[i], "IF") && isKeyword(tk[i + 1], "NOT") &&
        isKeyword(tk[i + 2], "EXISTS"))
        i += 3;
    if (i >= tk.size()) return std::nullopt;
    TableSchema table;
    table.name = tk[i++].text;
    // "schema.name": keep the table's own name (the tokenizer keeps an
    // unquoted dotted name in one token).
    if (!tk[i - 1].quoted && table.name.find('.') != std::string::npos)
        table.name = table.name.substr(table.name.rfind('.') + 1);
    if (i + 1 < tk.size() && tk[i].text == "." && !tk[i].quoted) {
        table.name = tk[i + 1].text;
        i += 2;
    }
    if (i >= tk.size() || tk[i].text != "(" || tk[i].quoted) return std::nullopt;
    ++i;

    // Split the list at top-level commas.
    std::vector<std::vector<Token>> items(1);
    int depth = 0;
    for (; i < tk.size(); ++i) {
        const Token& t = tk[i];
        if (!t.quoted && t.text == "(") ++depth;
        if (!t.quoted && t.text == ")") {
            if (depth == 0) break;
            --depth;
        }
        if (!t.quoted && t.text == "," && depth == 0) {
            items.emplace_back();
            continue;
        }
        items.back().push_back(t);
    }
    // The list never closed: the text is cut or malformed.
    if (i >= tk.size()) return std::nullopt;
    for (size_t j = i + 1; j + 1 < tk.size(); ++j)
        if (isKeyword(tk[j], "WITHOUT") && isKeyword(tk[j + 1], "ROWID")) table.withoutRowid = true;

    std::vector<std::string> primaryKeyOf;           // columns named by a table PRIMARY KEY
    std::vector<std::vector<std::string>> uniqueOf;  // names (and words) of UNIQUE(...)
    for (const auto& item : items) {
        if (item.empty()) continue;
        if (startsTableConstraint(item[0])) {
            for (size_t k = 0; k + 1 < item.size(); ++k) {
                if (isKeyword(item[k], "UNIQUE")) {
                    std::vector<std::string> names;
                    for (size_t m = k + 1; m < item.size(); ++m) {
                        if (!item[m].quoted && item[m].text == ")") break;
                        if (!item[m].quoted && item[m].text == "(") continue;
                        if (!item[m].quoted && item[m].text == ",") continue;
                        names.push_back(item[m].text);
                    }
                    uniqueOf.push_back(std::move(names));
                    break;
                }
                if (isKeyword(item[k], "PRIMARY")) {
                    for (size_t m = k + 1; m < item.size(); ++m) {
                        if (!item[m].quoted && item[m].text == ")") break;
                        if (item[m].quoted ||
                            std::isalpha(static_cast<unsigned char>(item[m].text[0])) ||
                            item[m].text[0] == '_')
                            if (!isKeyword(item[m], "KEY")) primaryKeyOf.push_back(item[m].text);
                    }
                    break;
                }
            }
            continue;
        }
        ColumnDef col;
        col.name = item[0].text;
        size_t k = 1;
        for (; k < item.size() && !startsConstraint(item[k]); ++k) {
            if (!item[k].quoted && item[k].text == "(") {
                // "VARCHAR(20)": the size belongs to the type name.
                while (k < item.size() && !(item[k].text == ")" && !item[k].quoted)) ++k;
                continue;
            }
            if (!col.declaredType.empty()) col.declaredType += ' ';
            col.declaredType += item[k].text;
        }
        col.affinity = affinityOf(col.declaredType);
        bool primary = false, desc = false;
        for (; k < item.size(); ++k) {
            if (isKeyword(item[k], "PRIMARY")) primary = true;
            if (primary && isKeyword(item[k], "DESC")) desc = true;
            if (isKeyword(item[k], "UNIQUE"))
                table.uniqueKeys.push_back({static_cast<int>(table.columns.size())});
        }
        if (primary) table.primaryKey = {static_cast<int>(table.columns.size())};
        // Only the exact type name "INTEGER" makes the rowid alias, and
        // "PRIMARY KEY DESC" on the column does not.
        if (primary && !desc && upper(col.declaredType) == "INTEGER")
            table.rowidColumn = static_cast<int>(table.columns.size());
        table.columns.push_back(std::move(col));
    }
    if (table.columns.empty()) return std::nullopt;
    if (!primaryKeyOf.empty()) {
        // The constraint's list also holds COLLATE names and ASC/DESC: only
        // the words that name a column count.
        table.primaryKey.clear();
        for (const std::string& name : primaryKeyOf)
            for (size_t c = 0; c < table.columns.size(); ++c)
                if (upper(table.columns[c].name) == upper(name) &&
                    std::find(table.primaryKey.begin(), table.primaryKey.end(),
                              static_cast<int>(c)) == table.primaryKey.end()) {
                    table.primaryKey.push_back(static_cast<int>(c));
                    break;
                }
    }
    if (primaryKeyOf.size() == 1 && table.rowidColumn < 0) {
        for (size_t c = 0; c < table.columns.size(); ++c)
            if (upper(table.columns[c].name) == upper(primaryKeyOf[0]) &&
                upper(table.columns[c].declaredType) == "INTEGER")
                table.rowidColumn = static_cast<int>(c);
    }
    if (table.withoutRowid) table.rowidColumn = -1;
    // The words of a UNIQUE(...) list that name columns (COLLATE names and
    // ASC/DESC do not); a list naming no column is dropped.
    for (const auto& names : uniqueOf) {
        std::vector<int> key;
        for (const std::string& name : names)
            for (size_t c = 0; c < table.columns.size(); ++c)
                if (upper(table.columns[c].name) == upper(name) &&
                    std::find(key.begin(), key.end(), static_cast<int>(c)) == key.end()) {
                    key.push_back(static_cast<int>(c));
                    break;
                }
        if (!key.empty()) table.uniqueKeys.push_back(std::move(key));
    }
    if (!table.withoutRowid && table.rowidColumn < 0 && !table.primaryKey.empty())
        table.uniqueKeys.push_back(table.primaryKey);
    return table;
}

std::optional<IndexSchema> parseCreateIndex(std::string_view sql) {
    const std::vector<Token> tk = tokenize(sql);
    size_t i = 0;
    if (i >= tk.size() || !isKeyword(tk[i], "CREATE")) return std::nullopt;
    ++i;
    if (i < tk.size() && isKeyword(tk[i], "UNIQUE")) ++i;
    if (i >= tk.size() || !isKeyword(tk[i], "INDEX")) return std::nullopt;
    ++i;
    if (i + 2 < tk.size() && isKeyword(tk[i], "IF") && isKeyword(tk[i + 1], "NOT") &&
        isKeyword(tk[i + 2], "EXISTS"))
        i += 3;
    // The index's name, possibly "schema.name" in one token or three.
    if (i >= tk.size()) return std::nullopt;
    ++i;
    if (i + 1 < tk.size() && !tk[i].quoted && tk[i].text == ".") i += 2;
    if (i >= tk.size() || !isKeyword(tk[i], "ON")) return std::nullopt;
    ++i;
    if (i >= tk.size()) return std::nullopt;
    IndexSchema index;
    index.table = tk[i++].text;
    if (i + 1 < tk.size() && !tk[i].quoted && tk[i].text == ".") {
        index.table = tk[i + 1].text;
        i += 2;
    } else if (!tk[i - 1].quoted && index.table.find('.') != std::string::npos) {
        index.table = index.table.substr(index.table.rfind('.') + 1);
    }
    if (i >= tk.size() || tk[i].quoted || tk[i].text != "(") return std::nullopt;
    ++i;
    // Each key part: a column name, then COLLATE name and ASC or DESC.
    while (i < tk.size()) {
        if (tk[i].quoted || std::isalpha(static_cast<unsigned char>(tk[i].text[0])) ||
            tk[i].text[0] == '_' || static_cast<unsigned char>(tk[i].text[0]) >= 0x80) {
            index.columns.push_back(tk[i++].text);
        } else {
            return std::nullopt;
        }
        if (i + 1 < tk.size() && isKeyword(tk[i], "COLLATE")) i += 2;
        if (i < tk.size() && (isKeyword(tk[i], "ASC") || isKeyword(tk[i], "DESC"))) ++i;
        if (i >= tk.size()) return std::nullopt;
        if (!tk[i].quoted && tk[i].text == ")") break;
        // Anything but a comma here (a call, an operator) makes an expression.
        if (tk[i].quoted || tk[i].text != ",") return std::nullopt;
        ++i;
    }
    if (i >= tk.size() || index.columns.empty()) return std::nullopt;
    return index;
}

std::vector<int> storedColumnOrder(const TableSchema& table) {
    std::vector<int> order;
    order.reserve(table.columns.size());
    if (table.withoutRowid)
        for (int c : table.primaryKey)
            if (c >= 0 && static_cast<size_t>(c) < table.columns.size()) order.push_back(c);
    for (size_t c = 0; c < table.columns.size(); ++c)
        if (std::find(order.begin(), order.end(), static_cast<int>(c)) == order.end())
            order.push_back(static_cast<int>(c));
    return order;
}

bool sameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace marlowen::carve::deep
