// SvgCheck: what the plot tests ask of an SVG document: whether it is well
// formed XML (tags nest and close, attributes are quoted, '&' starts one of
// the five predefined entities), whether rsvg-convert, a real SVG renderer,
// draws it to a PNG, and how often a piece of text occurs in it. Free
// functions; the PNG is left beside the SVG for a person to look at.
#pragma once

#include "ToolRunner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace svgcheck {

inline bool WellFormedXml(const std::string& xml, std::string& problem) {
    std::vector<std::string> open;
    std::size_t i = 0;
    while (i < xml.size()) {
        if (xml[i] == '&') {
            const std::size_t end = xml.find(';', i);
            const std::string entity = xml.substr(i, end == std::string::npos ? 1 : end - i + 1);
            if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;" &&
                entity != "&apos;") {
                problem = "bad entity at " + std::to_string(i);
                return false;
            }
        }
        if (xml[i] != '<') {
            ++i;
            continue;
        }
        const std::size_t end = xml.find('>', i);
        if (end == std::string::npos) {
            problem = "unclosed tag";
            return false;
        }
        std::string tag = xml.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.empty()) {
            problem = "empty tag";
            return false;
        }
        if (tag.front() == '?') {
            continue;
        }
        if (std::count(tag.begin(), tag.end(), '"') % 2 != 0) {
            problem = "unbalanced quotes in <" + tag + ">";
            return false;
        }
        if (tag.front() == '/') {
            if (open.empty() || open.back() != tag.substr(1)) {
                problem = "</" + tag.substr(1) + "> closes nothing open";
                return false;
            }
            open.pop_back();
            continue;
        }
        const bool selfClosing = tag.back() == '/';
        const std::string name = tag.substr(0, tag.find_first_of(" /"));
        if (!selfClosing) {
            open.push_back(name);
        }
    }
    problem = open.empty() ? "" : "<" + open.back() + "> never closed";
    return open.empty();
}

// Renders the SVG file `svgPath` to `svgPath` + ".png" with rsvg-convert,
// which rejects a document that is not well-formed XML, and checks that a
// PNG came out. `problem` says what went wrong.
inline bool RendersToPng(const std::string& svgPath, std::string& problem) {
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0) {
        problem = "rsvg-convert is missing: scripts/install-deps.sh (run by make test) installs "
                  "Debian's librsvg2-bin";
        return false;
    }
    const std::string pngPath = svgPath + ".png";
    std::remove(pngPath.c_str());
    const std::string command = "rsvg-convert -o " + ToolRunner::ShellQuote(pngPath) + ' ' +
                                ToolRunner::ShellQuote(svgPath) + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        problem = "cannot start rsvg-convert";
        return false;
    }
    std::string output;
    char buffer[256];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;) {
        output.append(buffer, got);
    }
    if (pclose(pipe) != 0) {
        problem = "rsvg-convert failed: " + output;
        return false;
    }
    std::ifstream png(pngPath, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(png)),
                            std::istreambuf_iterator<char>());
    if (bytes.size() < 8 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) {
        problem = "no PNG came out (" + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    return true;
}

// How often `what` occurs in `text`.
inline std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + what.size())) {
        ++count;
    }
    return count;
}

} // namespace svgcheck
