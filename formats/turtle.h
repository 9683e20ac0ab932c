#pragma once
// Literals of Turtle, the RDF text in which LV2 hosts read a plug-in's ports
// and presets. Shared by every tool that writes an LV2 bundle's files, so a
// port's range and a preset's value are written alike.
//
// Any thread; these functions allocate.

#include <charconv>
#include <string>

namespace formats::turtle {

// A string literal: the text in double quotes, with what may not stand in
// one as itself (quotes, backslashes, line breaks) escaped.
inline std::string quoted(const std::string& text) {
    std::string q = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': q += "\\\""; break;
        case '\\': q += "\\\\"; break;
        case '\n': q += "\\n"; break;
        case '\r': q += "\\r"; break;
        default: q += c;
        }
    }
    return q + "\"";
}

// A number for a control port's value: the shortest text that reads back as
// the same single-precision value (ports are floats), with a decimal point
// so every bound, default and preset value is a decimal or a double, never
// an integer.
inline std::string number(double v) {
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, static_cast<float>(v));
    std::string s(text, r.ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

} // namespace formats::turtle
