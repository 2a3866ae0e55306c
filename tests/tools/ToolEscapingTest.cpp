// Texts in kvres-tool's JSON and CSV, over every byte 0 to 255, against
// expectations written here independently of the formatters: JSON strings escape
// '"' and '\' with a backslash and every control and every byte that is not
// part of valid UTF-8 (as every byte from 0x80 is when it stands alone) as
// \u00XX, so these texts come out as printable ASCII and read back to the
// file's bytes; CSV fields holding a comma, a quote, CR or LF are
// quoted with quotes doubled (a field of a lone CR too), so an RFC 4180 reader
// gets the bytes back. First the formatters' own functions, then every command
// on a file whose labels, names and header texts hold every byte.
#include "CsvFormatter.h"
#include "JsonFormatter.h"
#include "OutputBuffer.h"
#include "ToolTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using reswriter::DataTypeRow;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::Bytes;
using tooltest::WriteRes;

// The JSON string literal of `bytes` as the contract states it.
std::string ExpectedJson(const std::string& bytes) {
    std::string literal = "\"";
    for (const char c : bytes) {
        const unsigned byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04X", byte);
            literal += escape;
        } else {
            if (byte == '"' || byte == '\\') {
                literal += '\\';
            }
            literal += c;
        }
    }
    return literal + '"';
}

// The CSV field of `bytes` as RFC 4180 asks for it.
std::string ExpectedCsv(const std::string& bytes) {
    bool quote = false;
    std::string doubled;
    for (const char c : bytes) {
        quote = quote || c == ',' || c == '"' || c == '\r' || c == '\n';
        doubled += c;
        if (c == '"') {
            doubled += '"';
        }
    }
    return quote ? '"' + doubled + '"' : bytes;
}

// Reads CSV text as RFC 4180 defines it: fields separated by commas, records
// by line ends; a field holding a comma, a quote, CR or LF must be quoted,
// with its quotes doubled. False with `problem` set on text that breaks this
// (a bare CR or a stray quote in an unquoted field, an unclosed quote).
bool ReadCsv(const std::string& text, std::vector<std::vector<std::string>>& records,
             std::string& problem) {
    std::vector<std::string> record(1);
    std::size_t i = 0;
    while (i < text.size()) {
        std::string& field = record.back();
        if (field.empty() && text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    problem = "unclosed quote";
                    return false;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i];
            }
            if (i < text.size() && text[i] != ',' && text[i] != '\n') {
                problem = "text after a closing quote at byte " + std::to_string(i);
                return false;
            }
            continue;
        }
        const char c = text[i++];
        if (c == ',') {
            record.emplace_back();
        } else if (c == '\n') {
            records.push_back(record);
            record.assign(1, std::string());
        } else if (c == '\r' || c == '"') {
            problem = std::string(c == '\r' ? "a bare CR" : "a stray quote") +
                      " in an unquoted field at byte " + std::to_string(i - 1);
            return false;
        } else {
            field += c;
        }
    }
    if (record.size() > 1 || !record.front().empty()) {
        records.push_back(record);
    }
    return true;
}

// What an OutputBuffer wrote, through a temporary stream.
template <typename Write> std::string Buffered(Write write) {
    std::FILE* stream = std::tmpfile();
    std::string text;
    if (stream == nullptr) {
        return text;
    }
    {
        OutputBuffer out(stream);
        write(out);
        out.Flush();
    }
    std::rewind(stream);
    char buffer[256];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), stream)) > 0;) {
        text.append(buffer, got);
    }
    std::fclose(stream);
    return text;
}

TEST(ToolEscapingTest, JsonStringsEscapeEveryByteOutsidePrintableAscii) {
    for (int byte = 0; byte < 256; ++byte) {
        for (const std::string& text : {std::string(1, static_cast<char>(byte)),
                                        "a" + std::string(1, static_cast<char>(byte)) + "b"}) {
            const std::string quoted = JsonFormatter::Quote(text);
            EXPECT_EQ(quoted, ExpectedJson(text)) << "byte " << byte;
            EXPECT_EQ(Buffered([&](OutputBuffer& out) { JsonFormatter::WriteQuoted(out, text); }),
                      quoted)
                << "byte " << byte;
            Json parsed;
            std::string error;
            ASSERT_TRUE(tooltest::ParseJson(quoted, parsed, error))
                << "byte " << byte << ": " << error;
            EXPECT_EQ(Bytes(parsed), text) << "byte " << byte;
        }
    }
}

TEST(ToolEscapingTest, CsvFieldsAreQuotedWhenTheyHoldACommaAQuoteCrOrLf) {
    for (int byte = 0; byte < 256; ++byte) {
        for (const std::string& text : {std::string(1, static_cast<char>(byte)),
                                        "a" + std::string(1, static_cast<char>(byte)) + "b"}) {
            const std::string field = CsvFormatter::Field(text);
            EXPECT_EQ(field, ExpectedCsv(text)) << "byte " << byte;
            std::vector<std::vector<std::string>> records;
            std::string problem;
            ASSERT_TRUE(ReadCsv(field + ",x\n", records, problem))
                << "byte " << byte << ": " << problem;
            ASSERT_EQ(records.size(), 1u) << "byte " << byte;
            EXPECT_EQ(records[0], (std::vector<std::string>{text, "x"})) << "byte " << byte;
        }
    }
}

// Every byte from 1 to 255 in pieces of at most 30 (a 31-byte field keeps a
// NUL), and the texts that catch the usual slips on their own: a lone CR, a
// lone DEL, a lone quote.
std::vector<std::string> AwkwardTexts() {
    std::vector<std::string> texts;
    for (int first = 1; first < 256; first += 30) {
        std::string piece;
        for (int byte = first; byte < first + 30 && byte < 256; ++byte) {
            piece += static_cast<char>(byte);
        }
        texts.push_back(piece);
    }
    texts.push_back("\r");
    texts.push_back("\x7F");
    texts.push_back("\"");
    return texts;
}

// One simulation per awkward text as its label, each holding one scalar data
// type per awkward text as its name, with the value of its simulation.
ResFile AwkwardFile() {
    const std::vector<std::string> texts = AwkwardTexts();
    ResFile file;
    file.text1 = texts[1] + texts[2];
    file.text2 = texts[7] + texts[8];
    for (std::size_t s = 0; s < texts.size(); ++s) {
        reswriter::Simulation simulation;
        simulation.label = texts[s];
        for (const std::string& name : texts) {
            simulation.rows.push_back(DataTypeRow{name, 1, {{1, {static_cast<float>(s)}}}});
        }
        file.simulations.push_back(simulation);
    }
    return file;
}

// The output's bytes are printable ASCII and line feeds only: no control
// byte, no DEL, nothing above ASCII.
void ExpectPrintable(const std::string& output, const std::string& what) {
    for (std::size_t i = 0; i < output.size(); ++i) {
        const unsigned byte = static_cast<unsigned char>(output[i]);
        ASSERT_TRUE(byte == '\n' || (byte >= 0x20 && byte <= 0x7E))
            << what << ": byte " << byte << " at " << i;
    }
}

TEST(ToolEscapingTest, EveryCommandWritesTheFilesTextsBackExactly) {
    TempDir dir;
    const std::vector<std::string> texts = AwkwardTexts();
    const std::string path = WriteRes(dir, "run.res", AwkwardFile());

    // dump, JSON
    const ToolRun dump = ToolRunner::Run({"dump", path, "--format", "json"});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    ExpectPrintable(dump.out, "dump --format json");
    Json document;
    std::string error;
    ASSERT_TRUE(tooltest::ParseJson(dump.out, document, error)) << error;
    const Json& subcase = document.at("subcases").at(0);
    ASSERT_EQ(subcase.at("dataTypes").size(), texts.size());
    ASSERT_EQ(subcase.at("simulations").size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(Bytes(subcase.at("dataTypes").at(i).at("name")), texts[i]) << i;
        EXPECT_EQ(Bytes(subcase.at("simulations").at(i).at("label")), texts[i]) << i;
        EXPECT_NE(dump.out.find("\"label\": " + ExpectedJson(texts[i]) + ","), std::string::npos)
            << i;
        EXPECT_NE(dump.out.find("{\"dataType\": " + ExpectedJson(texts[i]) + ","),
                  std::string::npos)
            << i;
    }

    // dump, CSV: one record per simulation and data type, after the header.
    const ToolRun csv = ToolRunner::Run({"dump", path, "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    std::vector<std::vector<std::string>> records;
    std::string problem;
    ASSERT_TRUE(ReadCsv(csv.out, records, problem)) << problem;
    ASSERT_EQ(records.size(), 1 + texts.size() * texts.size());
    for (std::size_t s = 0; s < texts.size(); ++s) {
        for (std::size_t t = 0; t < texts.size(); ++t) {
            const std::vector<std::string>& record = records[1 + s * texts.size() + t];
            ASSERT_EQ(record.size(), 7u) << s << " " << t;
            EXPECT_EQ(record[0], std::to_string(s));
            EXPECT_EQ(record[1], texts[s]) << s;
            EXPECT_EQ(record[3], texts[t]) << t;
        }
        EXPECT_NE(csv.out.find('\n' + std::to_string(s) + ',' + ExpectedCsv(texts[s]) + ','),
                  std::string::npos)
            << s;
    }

    // history, CSV and JSON: the labels of every simulation.
    const ToolRun history = ToolRunner::Run({"history", path, "--type", texts[0], "--entity", "1"});
    ASSERT_EQ(history.exitCode, 0) << history.err;
    records.clear();
    ASSERT_TRUE(ReadCsv(history.out, records, problem)) << problem;
    ASSERT_EQ(records.size(), 1 + texts.size());
    for (std::size_t s = 0; s < texts.size(); ++s) {
        EXPECT_EQ(records[1 + s][1], texts[s]) << s;
    }
    const ToolRun historyJson =
        ToolRunner::Run({"history", path, "--type", texts[0], "--entity", "1", "--format", "json"});
    ASSERT_EQ(historyJson.exitCode, 0) << historyJson.err;
    ExpectPrintable(historyJson.out, "history --format json");
    ASSERT_TRUE(tooltest::ParseJson(historyJson.out, document, error)) << error;
    EXPECT_EQ(Bytes(document.at("dataType")), texts[0]);
    for (std::size_t s = 0; s < texts.size(); ++s) {
        EXPECT_EQ(Bytes(document.at("simulations").at(s).at("label")), texts[s]) << s;
    }

    // check, JSON: header texts, labels, names as stored and as the host
    // sees them.
    const ToolRun check = ToolRunner::Run({"check", path, "--format", "json"});
    ASSERT_EQ(check.exitCode, 0) << check.err;
    ExpectPrintable(check.out, "check --format json");
    ASSERT_TRUE(tooltest::ParseJson(check.out, document, error)) << error;
    const Json& file = document.at("files").at(0);
    EXPECT_EQ(Bytes(file.at("text1")), texts[1] + texts[2]);
    EXPECT_EQ(Bytes(file.at("text2")), texts[7] + texts[8]);
    for (std::size_t s = 0; s < texts.size(); ++s) {
        const Json& simulation = file.at("simulations").at(s);
        EXPECT_EQ(Bytes(simulation.at("label")), texts[s]) << s;
        if (s == 0) {
            for (std::size_t t = 0; t < texts.size(); ++t) {
                EXPECT_EQ(Bytes(simulation.at("dataTypes").at(t).at("name")), texts[t]) << t;
                EXPECT_EQ(Bytes(simulation.at("dataTypes").at(t).at("hostName")), texts[t]) << t;
            }
        }
    }

    // diff, JSON: the data types of both, and one only in A named in words.
    ResFile fewer = AwkwardFile();
    for (reswriter::Simulation& simulation : fewer.simulations) {
        simulation.rows.pop_back();
    }
    const std::string other = WriteRes(dir, "other.res", fewer);
    const ToolRun diff = ToolRunner::Run({"diff", path, other, "--format", "json"});
    ASSERT_EQ(diff.exitCode, 1) << diff.err;
    ExpectPrintable(diff.out, "diff --format json");
    ASSERT_TRUE(tooltest::ParseJson(diff.out, document, error)) << error;
    // Every data type of either set is listed, in every simulation; the one
    // only A holds as only in A.
    std::vector<std::string> compared;
    for (const Json& dataSet : document.at("dataSets")) {
        const std::string name = Bytes(dataSet.at("dataType"));
        if (std::find(compared.begin(), compared.end(), name) == compared.end()) {
            compared.push_back(name);
        }
        EXPECT_EQ(dataSet.at("inB").get<bool>(), name != texts.back()) << name;
    }
    EXPECT_EQ(compared, texts);
    bool named = false;
    for (const Json& difference : document.at("structure")) {
        named = named || Bytes(difference).find(texts.back()) != std::string::npos;
    }
    EXPECT_TRUE(named) << diff.out;
}

} // namespace
