// Build tool: turns a Qt translation file (i18n/tervo_<lang>.ts) into a C++ source holding its
// finished translations as an array sorted by (context, source), for a front end without Qt.
//   tervo_ts_table IN.ts OUT.cpp NAME
// defines tervo::cli::NAME (TranslationEntry[]) and NAME##Count. Unfinished and empty
// translations are left out: the text stays as written.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Entry {
    std::string context, source, translation;
};

// XML character data: the five named entities and numeric references (UTF-8 out).
std::string unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const size_t end = text.find(';', i);
        if (end == std::string::npos) {
            throw std::runtime_error("unterminated entity: " + text.substr(i, 12));
        }
        const std::string name = text.substr(i + 1, end - i - 1);
        if (name == "amp") {
            out += '&';
        } else if (name == "lt") {
            out += '<';
        } else if (name == "gt") {
            out += '>';
        } else if (name == "quot") {
            out += '"';
        } else if (name == "apos") {
            out += '\'';
        } else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const unsigned long c = std::stoul(name.substr(hex ? 2 : 1), nullptr, hex ? 16 : 10);
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | (c >> 18));
                out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        } else {
            throw std::runtime_error("unknown entity &" + name + ";");
        }
        i = end;
    }
    return out;
}

// The text between <tag ...> and </tag> inside [from, to), or false when absent or empty.
bool element(const std::string& xml, size_t from, size_t to, const std::string& tag,
             std::string& attributes, std::string& text) {
    const size_t open = xml.find("<" + tag, from);
    if (open == std::string::npos || open >= to) {
        return false;
    }
    const size_t close = xml.find('>', open);
    if (close == std::string::npos || close >= to) {
        return false;
    }
    attributes = xml.substr(open + 1 + tag.size(), close - open - 1 - tag.size());
    if (!attributes.empty() && attributes.back() == '/') {
        text.clear();  // <translation/>
        return true;
    }
    const size_t end = xml.find("</" + tag + ">", close);
    if (end == std::string::npos || end > to) {
        throw std::runtime_error("no </" + tag + ">");
    }
    text = unescaped(xml.substr(close + 1, end - close - 1));
    return true;
}

std::string literal(const std::string& text) {
    if (text.find(")tervo\"") != std::string::npos) {
        throw std::runtime_error("text holds the literal's delimiter: " + text);
    }
    return "R\"tervo(" + text + ")tervo\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: tervo_ts_table IN.ts OUT.cpp NAME\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) {
            throw std::runtime_error(std::string("cannot read ") + argv[1]);
        }
        std::stringstream buffer;
        buffer << in.rdbuf();
        const std::string xml = buffer.str();
        std::vector<Entry> entries;
        for (size_t c = xml.find("<context>"); c != std::string::npos;
             c = xml.find("<context>", c + 1)) {
            const size_t contextEnd = xml.find("</context>", c);
            std::string attributes, context;
            if (contextEnd == std::string::npos ||
                !element(xml, c, contextEnd, "name", attributes, context)) {
                throw std::runtime_error("a context without a name or an end");
            }
            for (size_t m = xml.find("<message", c); m != std::string::npos && m < contextEnd;
                 m = xml.find("<message", m + 1)) {
                const size_t messageEnd = xml.find("</message>", m);
                Entry e{context, {}, {}};
                std::string sourceAttributes, translationAttributes;
                if (!element(xml, m, messageEnd, "source", sourceAttributes, e.source) ||
                    !element(xml, m, messageEnd, "translation", translationAttributes,
                             e.translation)) {
                    continue;
                }
                if (translationAttributes.find("type=") != std::string::npos ||
                    e.translation.empty()) {
                    continue;  // unfinished, vanished or obsolete
                }
                entries.push_back(std::move(e));
            }
        }
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return std::tie(a.context, a.source) < std::tie(b.context, b.source);
        });
        entries.erase(std::unique(entries.begin(), entries.end(),
                                  [](const Entry& a, const Entry& b) {
                                      return a.context == b.context && a.source == b.source;
                                  }),
                      entries.end());
        std::ostringstream out;
        out << "// Generated by tervo_ts_table from " << argv[1] << ": do not edit.\n"
            << "#include \"cli/TranslationTable.h\"\n\nnamespace tervo::cli {\n\n"
            << "extern const TranslationEntry " << argv[3] << "[] = {\n";
        for (const Entry& e : entries) {
            out << "    {" << literal(e.context) << ", " << literal(e.source) << ",\n     "
                << literal(e.translation) << "},\n";
        }
        out << "};\nextern const size_t " << argv[3] << "Count = " << entries.size()
            << ";\n\n}  // namespace tervo::cli\n";
        std::ofstream file(argv[2], std::ios::binary);
        file << out.str();
        if (!file.flush()) {
            throw std::runtime_error(std::string("cannot write ") + argv[2]);
        }
    } catch (const std::exception& e) {
        std::cerr << "tervo_ts_table: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
